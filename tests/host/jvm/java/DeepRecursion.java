import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;

// Recurses as deep as zorv.depth asks on the thread main runs on, whose stack
// is the one the host gave it: -Xss does not resize a thread the VM adopts.
public class DeepRecursion {
    static long down(long n, long a, long b, long c) {
        if (n == 0) return a + b + c;
        return down(n - 1, a + 1, b ^ n, c + a) + 1;
    }

    public static void main(String[] args) throws IOException {
        long depth = Long.parseLong(System.getProperty("zorv.depth"));
        String result;
        try {
            down(depth, 0, 0, 0);
            result = "reached " + depth;
        } catch (StackOverflowError e) {
            result = "overflow";
        }
        Files.write(Paths.get(System.getProperty("zorv.out")), (result + "\n").getBytes());
    }
}
