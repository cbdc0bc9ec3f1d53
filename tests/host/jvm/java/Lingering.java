import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

// Main returns at once; a non-daemon thread writes its file afterwards, so
// only a host that waits for it finds the file. With zorv.release it waits
// for that file first (for at most 20 s, and then says so in its file): a
// host that destroyed the VM before it wrote the release file would wait
// here all that time.
public class Lingering {
    public static void main(String[] args) {
        String release = System.getProperty("zorv.release");
        Thread late = new Thread(() -> {
            try {
                String text = "late\n";
                if (release == null) {
                    Thread.sleep(700);
                } else {
                    Path released = Paths.get(release);
                    int waited = 0;
                    for (; waited < 20000 && !Files.exists(released); waited += 20) Thread.sleep(20);
                    if (!Files.exists(released)) text = "late, never released\n";
                }
                Files.write(Paths.get(System.getProperty("zorv.out")), text.getBytes());
            } catch (InterruptedException | IOException e) {
                throw new RuntimeException(e);
            }
        }, "lingering");
        late.setDaemon(false);
        late.start();
    }
}
