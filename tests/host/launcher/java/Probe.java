import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

// What a started application can tell about its start: arguments as code
// points, the runtime, the heap limit, the search path and both streams.
// "exit=N" ends through System.exit(N); "throw" leaves main with an
// exception; "hold" keeps main running until a file "release" appears;
// "env=NAME" prints that variable, "nice" the nice value main runs at and
// "load=NAME" loads that library as System.loadLibrary finds it.
// secondaryMain appends its arguments to secondary.txt and returns the N of
// "reply=N", or ends the process on "exit=N".
public class Probe {
    static String describe(String[] args) {
        StringBuilder line = new StringBuilder("args=" + args.length);
        for (String arg : args) {
            line.append(" [");
            arg.codePoints().forEach(c -> line.append(' ').append(Integer.toHexString(c)));
            line.append(" ]");
        }
        return line.toString();
    }

    public static void main(String[] args) throws Exception {
        System.out.println(describe(args));
        System.out.println("java.version=" + System.getProperty("java.version"));
        System.out.println("ZORV_JVM_HOME=" + System.getenv("ZORV_JVM_HOME"));
        System.out.println("PATH=" + System.getenv("PATH"));
        System.out.println("java.class.path=" + System.getProperty("java.class.path"));
        System.out.println("java.library.path=" + System.getProperty("java.library.path"));
        System.out.println("maxMemoryMB=" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
        System.err.println("to standard error");
        for (String arg : args) {
            if (arg.startsWith("exit=")) System.exit(Integer.parseInt(arg.substring(5)));
            if (arg.equals("throw")) throw new IllegalStateException("thrown by main");
            if (arg.startsWith("env=")) {
                String value = System.getenv(arg.substring(4));
                System.out.println("env " + arg.substring(4) + (value == null ? " unset" : "=" + value));
            }
            if (arg.equals("nice")) {
                // The fields after the command's name, which may hold spaces; nice is the 19th of the line.
                String stat = Files.readString(Path.of("/proc/thread-self/stat"));
                System.out.println("nice=" + stat.substring(stat.lastIndexOf(')') + 2).split(" ")[16]);
            }
            if (arg.startsWith("load=")) {
                System.loadLibrary(arg.substring(5));
                System.out.println("loaded " + arg.substring(5));
            }
            if (arg.equals("hold")) {
                Files.writeString(Path.of("holding"), "");
                for (int i = 0; i < 1200 && !Files.exists(Path.of("release")); i++) Thread.sleep(50);
            }
        }
    }

    public static synchronized int secondaryMain(String[] args) throws Exception {
        Files.writeString(Path.of("secondary.txt"), describe(args) + "\n", StandardOpenOption.CREATE,
                StandardOpenOption.APPEND);
        int reply = 0;
        for (String arg : args) {
            if (arg.startsWith("exit=")) System.exit(Integer.parseInt(arg.substring(5)));
            if (arg.startsWith("reply=")) reply = Integer.parseInt(arg.substring(6));
        }
        return reply;
    }
}

// The probe as an application without secondaryMain, which may have its own
// way of staying single.
class PlainProbe {
    public static void main(String[] args) throws Exception {
        Probe.main(args);
    }
}

// An application whose secondaryMain is an instance method, which the
// launcher never calls: to second starts it has none.
class InstanceProbe {
    public static void main(String[] args) throws Exception {
        Probe.main(args);
    }

    public int secondaryMain(String[] args) {
        return 0;
    }
}
