import java.io.IOException;

// A static main without parameters; no object may be made for it.
public class StaticNoArgMain {
    StaticNoArgMain() throws IOException {
        InstanceMain.record("constructed");
    }

    static void main() throws IOException {
        InstanceMain.record("static main without arguments");
    }
}
