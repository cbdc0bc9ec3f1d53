// What a started application can tell about its start: arguments as code
// points, the runtime, the heap limit and both streams. "exit=N" ends through
// System.exit(N); "throw" leaves main with an exception.
public class Probe {
    public static void main(String[] args) {
        StringBuilder line = new StringBuilder("args=" + args.length);
        for (String arg : args) {
            line.append(" [");
            arg.codePoints().forEach(c -> line.append(' ').append(Integer.toHexString(c)));
            line.append(" ]");
        }
        System.out.println(line);
        System.out.println("java.version=" + System.getProperty("java.version"));
        System.out.println("ZORV_JVM_HOME=" + System.getenv("ZORV_JVM_HOME"));
        System.out.println("maxMemoryMB=" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
        System.err.println("to standard error");
        for (String arg : args) {
            if (arg.startsWith("exit=")) System.exit(Integer.parseInt(arg.substring(5)));
            if (arg.equals("throw")) throw new IllegalStateException("thrown by main");
        }
    }
}
