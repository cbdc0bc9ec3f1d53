import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;

// Main returns at once; a non-daemon thread writes its file well afterwards,
// so only a host that waits for it finds the file.
public class Lingering {
    public static void main(String[] args) {
        Thread late = new Thread(() -> {
            try {
                Thread.sleep(700);
                Files.write(Paths.get(System.getProperty("zorv.out")), "late\n".getBytes());
            } catch (InterruptedException | IOException e) {
                throw new RuntimeException(e);
            }
        }, "lingering");
        late.setDaemon(false);
        late.start();
    }
}
