import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

// Records the arguments main received as UTF-16 lengths and code points, so
// the host can compare them without any charset in between.
public class ArgsWriter {
    static String describe(String[] args) {
        if (args == null) return "null\n";
        StringBuilder text = new StringBuilder("count=" + args.length + "\n");
        for (String arg : args) {
            text.append(arg.length()).append(':');
            arg.codePoints().forEach(c -> text.append(' ').append(Integer.toHexString(c)));
            text.append('\n');
        }
        return text.toString();
    }

    public static void main(String[] args) throws IOException {
        String text = "thread=" + Thread.currentThread().getName() + "\n" + describe(args);
        Files.write(Paths.get(System.getProperty("zorv.out")), text.getBytes(StandardCharsets.UTF_8));
    }
}
