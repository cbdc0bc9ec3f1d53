public class Printer {
    public static void main(String[] args) {
        System.out.println("line for out");
        System.err.println("line for err");
    }
}
