package dep;

// Found only through the Class-Path of the application jar's manifest.
public class Dep {
    public static String hello() {
        return "from lib/dep.jar";
    }
}
