import java.io.IOException;

// An instance main without parameters, the shortest program JDK 25 runs.
public class InstanceNoArgMain {
    InstanceNoArgMain() throws IOException {
        InstanceMain.record("constructed");
    }

    void main() throws IOException {
        InstanceMain.record("instance main without arguments");
    }
}
