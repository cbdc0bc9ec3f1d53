import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;

// A main class whose secondaryMain returns nothing: appends what it was given.
public class SecondaryVoid {
    static void record(String form, String[] args) throws IOException {
        String text = "secondaryMain " + form + " daemon=" + Thread.currentThread().isDaemon() + "\n"
                + ArgsWriter.describe(args);
        Files.write(Paths.get(System.getProperty("zorv.out")), text.getBytes(StandardCharsets.UTF_8),
                StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    }

    public static void main(String[] args) {}

    public static void secondaryMain(String[] args) throws IOException {
        record("V", args);
    }
}
