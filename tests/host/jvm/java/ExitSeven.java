public class ExitSeven {
    public static void main(String[] args) {
        System.out.println("before exit");
        System.out.flush();
        System.exit(7);
        System.out.println("after exit");
    }
}
