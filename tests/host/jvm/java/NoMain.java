// A class with a static method that looks like main but is not it.
public class NoMain {
    public static void main(String first, String second) {}
}
