import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.concurrent.CountDownLatch;

// What a started application can tell about its start: arguments as code
// points, the runtime, the heap limit, the search path and both streams.
// "exit=N" ends through System.exit(N); "throw" leaves main with an
// exception; "hold" keeps main running until a file "release" appears;
// "env=NAME" prints that variable, "nice" the nice value main runs at and
// "load=NAME" loads that library as System.loadLibrary finds it;
// "restart-until=N" appends its start to starts.txt and ends with 9 until
// the N-th start.
// secondaryMain appends its arguments to secondary.txt and returns the N of
// "reply=N", or ends the process on "exit=N".
public class Probe {
    static String describe(String[] args) {
        StringBuilder line = new StringBuilder("args=" + args.length);
        for (String arg : args) {
            line.append(" [");
            arg.codePoints().forEach(c -> line.append(' ').append(Integer.toHexString(c)));
            line.append(" ]");
        }
        return line.toString();
    }

    public static void main(String[] args) throws Exception {
        System.out.println(describe(args));
        System.out.println("java.version=" + System.getProperty("java.version"));
        System.out.println("ZORV_JVM_HOME=" + System.getenv("ZORV_JVM_HOME"));
        System.out.println("PATH=" + System.getenv("PATH"));
        System.out.println("java.class.path=" + System.getProperty("java.class.path"));
        System.out.println("java.library.path=" + System.getProperty("java.library.path"));
        System.out.println("maxMemoryMB=" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
        System.err.println("to standard error");
        for (String arg : args) {
            if (arg.startsWith("exit=")) System.exit(Integer.parseInt(arg.substring(5)));
            if (arg.startsWith("restart-until=")) {
                // One line per start; "exit 9 to restart" until the N-th.
                Path starts = Path.of("starts.txt");
                Files.writeString(starts, ProcessHandle.current().pid() + " " + System.getProperty("user.dir") + " "
                        + System.getenv("ZORV_RESTARTS") + " " + describe(args) + "\n", StandardOpenOption.CREATE,
                        StandardOpenOption.APPEND);
                if (Files.readAllLines(starts).size() < Integer.parseInt(arg.substring(14))) System.exit(9);
            }
            if (arg.equals("throw")) throw new IllegalStateException("thrown by main");
            if (arg.startsWith("env=")) {
                String value = System.getenv(arg.substring(4));
                System.out.println("env " + arg.substring(4) + (value == null ? " unset" : "=" + value));
            }
            if (arg.equals("nice")) {
                // The fields after the command's name, which may hold spaces; nice is the 19th of the line.
                String stat = Files.readString(Path.of("/proc/thread-self/stat"));
                System.out.println("nice=" + stat.substring(stat.lastIndexOf(')') + 2).split(" ")[16]);
            }
            if (arg.startsWith("load=")) {
                System.loadLibrary(arg.substring(5));
                System.out.println("loaded " + arg.substring(5));
            }
            if (arg.equals("hold")) {
                Files.writeString(Path.of("holding"), "");
                for (int i = 0; i < 1200 && !Files.exists(Path.of("release")); i++) Thread.sleep(50);
            }
        }
    }

    public static synchronized int secondaryMain(String[] args) throws Exception {
        Files.writeString(Path.of("secondary.txt"), describe(args) + "\n", StandardOpenOption.CREATE,
                StandardOpenOption.APPEND);
        int reply = 0;
        for (String arg : args) {
            if (arg.startsWith("exit=")) System.exit(Integer.parseInt(arg.substring(5)));
            if (arg.startsWith("reply=")) reply = Integer.parseInt(arg.substring(6));
        }
        return reply;
    }
}

// The probe as an application without secondaryMain, which may have its own
// way of staying single.
class PlainProbe {
    public static void main(String[] args) throws Exception {
        Probe.main(args);
    }
}

// An application whose secondaryMain is an instance method, which the
// launcher never calls: to second starts it has none.
class InstanceProbe {
    public static void main(String[] args) throws Exception {
        Probe.main(args);
    }

    public int secondaryMain(String[] args) {
        return 0;
    }
}

// A service: main registers a shutdown hook that writes hook.txt, writes
// its process id to started.txt and waits for stop(String[]), which writes
// its arguments and its thread to stop.txt and lets main go, or with "never"
// holds on for good. A worker thread outlives main a little, which the end
// must wait for. "throw" leaves main with an exception instead of waiting.
class ServiceProbe {
    static final CountDownLatch released = new CountDownLatch(1);
    static volatile boolean workerDone;

    // Whole or not at all, for the test that waits for the file.
    static void write(String file, String text) {
        try {
            Path part = Files.writeString(Path.of(file + ".part"), text);
            Files.move(part, Path.of(file), StandardCopyOption.ATOMIC_MOVE);
        } catch (Exception e) {
            throw new IllegalStateException(e);
        }
    }

    public static void main(String[] args) throws Exception {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> write("hook.txt", "worker done=" + workerDone + "\n")));
        System.out.println(Probe.describe(args));
        System.out.println("NOTIFY_SOCKET=" + System.getenv("NOTIFY_SOCKET"));
        if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("thrown by the service");
        Thread worker = new Thread(() -> {
            try {
                released.await();
                Thread.sleep(500);
                workerDone = true;
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        });
        worker.start();
        write("started.txt", ProcessHandle.current().pid() + "\n");
        released.await();
        System.out.println("released");
    }

    public static void stop(String[] args) throws Exception {
        Thread self = Thread.currentThread();
        write("stop.txt", Probe.describe(args) + "\nthread=" + self.getName() + " daemon=" + self.isDaemon() + "\n");
        if (args.length > 0 && args[0].equals("never")) new CountDownLatch(1).await();
        released.countDown();
    }
}
