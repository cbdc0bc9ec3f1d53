// A main class whose secondaryMain answers: 100 times the count, plus the first argument's length.
public class SecondaryInt {
    public static void main(String[] args) {}

    public static int secondaryMain(String[] args) throws java.io.IOException {
        SecondaryVoid.record("I", args);
        return 100 * args.length + args[0].length();
    }
}
