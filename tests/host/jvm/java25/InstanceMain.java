import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;

// An instance main with the arguments. Every construction and every call
// appends a line, so the host sees how often each happened.
public class InstanceMain {
    static void record(String line) throws IOException {
        Files.write(Paths.get(System.getProperty("zorv.out")), (line + "\n").getBytes(StandardCharsets.UTF_8),
                    StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    }

    InstanceMain() throws IOException {
        record("constructed");
    }

    void main(String[] args) throws IOException {
        record("instance main thread=" + Thread.currentThread().getName() + " args=" + String.join(",", args));
    }
}
