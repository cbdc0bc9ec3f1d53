public class Throws {
    public static void main(String[] args) {
        throw new IllegalStateException("thrown by main");
    }
}
