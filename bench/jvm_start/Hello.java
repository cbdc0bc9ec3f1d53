// Prints, first thing in main, the monotonic clock the bench started its
// timer on: System.nanoTime reads CLOCK_MONOTONIC on Linux.
public class Hello {
    public static void main(String[] args) {
        System.out.println(System.nanoTime());
    }
}
