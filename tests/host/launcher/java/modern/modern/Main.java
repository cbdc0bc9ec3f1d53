package modern;

import java.lang.reflect.Field;
import java.nio.file.Files;
import java.nio.file.Path;

// An application started the ways java starts today's applications: from a
// jar's manifest, as a module, or by class with module options. It prints
// what it was started with and tries what those options allow: "opens"
// reflects into java.lang, "dep" loads a class of the manifest's Class-Path,
// "fx" uses a class of the module path, "throw" leaves main with an
// exception, "hold" keeps main running until a file "release" appears.
public class Main {
    public static void main(String[] args) throws Exception {
        System.out.println("module=" + Main.class.getModule().getName());
        System.out.println("command=" + System.getProperty("sun.java.command"));
        System.out.println("launcher=" + System.getProperty("sun.java.launcher"));
        System.out.println("class.path=" + System.getProperty("java.class.path"));
        System.out.println("agent=" + System.getProperty("modern.agent"));
        System.out.println("args=" + String.join(",", args));
        for (String arg : args) {
            switch (arg) {
                case "opens":
                    Field field = Thread.class.getDeclaredField("name");
                    try {
                        field.setAccessible(true);
                        System.out.println("opens=" + field.get(Thread.currentThread()));
                    } catch (RuntimeException e) {
                        System.out.println("opens=refused");
                    }
                    break;
                case "dep":
                    System.out.println("dep=" + Class.forName("dep.Dep").getMethod("hello").invoke(null));
                    break;
                case "fx":
                    Object property = Class.forName("javafx.beans.property.SimpleStringProperty")
                            .getConstructor(String.class).newInstance("bound");
                    System.out.println("fx=" + property.getClass().getModule().getName() + " "
                            + property.getClass().getMethod("get").invoke(property));
                    break;
                case "throw":
                    throw new IllegalStateException("thrown by main");
                case "hold":
                    Files.writeString(Path.of("holding"), "");
                    for (int i = 0; i < 1200 && !Files.exists(Path.of("release")); i++) Thread.sleep(50);
                    break;
                default:
                    break;
            }
        }
    }
}
