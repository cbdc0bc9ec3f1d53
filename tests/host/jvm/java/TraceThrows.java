import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;

// Main throws the exception that -Dzorv.trace names. The traceable ones are
// first printed by Java itself, UTF-8, into the -Dzorv.out file, for the host
// to compare with what the launcher got. The thread's handler records in
// uncaught.txt beside it whether the VM reported the very same exception,
// then lets the VM's usual report go on.
public class TraceThrows {
    static class BadToString extends RuntimeException {
        @Override
        public String toString() {
            throw new IllegalStateException("toString failed");
        }
    }

    static class BadPrint extends RuntimeException {
        @Override
        public void printStackTrace(PrintStream s) {
            s.println("partial line");
            throw new IllegalStateException("printStackTrace failed");
        }
    }

    static RuntimeException create(String kind) {
        switch (kind) {
            case "rich": {
                RuntimeException cause = new IllegalArgumentException("cause \u65e5\u672c");
                RuntimeException e = new RuntimeException("caf\u00e9 \uD83D\uDE00", cause);
                e.addSuppressed(new IllegalStateException("suppressed \uD83D\uDE00"));
                return e;
            }
            case "large":
                return new RuntimeException("nul[\0] " + "x".repeat(1 << 20));
            case "bad_to_string":
                return new BadToString();
            default:
                return new BadPrint();
        }
    }

    public static void main(String[] args) throws IOException {
        File out = new File(System.getProperty("zorv.out"));
        RuntimeException thrown = create(System.getProperty("zorv.trace"));
        if (!(thrown instanceof BadToString || thrown instanceof BadPrint)) {
            try (PrintStream file = new PrintStream(new FileOutputStream(out), true, StandardCharsets.UTF_8)) {
                thrown.printStackTrace(file);
            }
        }
        Thread.currentThread().setUncaughtExceptionHandler((thread, reported) -> {
            try {
                Files.writeString(new File(out.getParentFile(), "uncaught.txt").toPath(),
                                  reported == thrown ? "same\n" : "other\n");
            } catch (IOException e) {
                throw new RuntimeException(e);
            }
            thread.getThreadGroup().uncaughtException(thread, reported);
        });
        throw thrown;
    }
}
