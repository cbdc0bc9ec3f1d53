package com.example.extras;

/** Lives in a jar of its own, so the sample proves that "lib\*.jar" finds every jar. */
public final class Greeting {
    private Greeting() {}

    public static String text() {
        return "Hello from a Java application started by its native launcher.";
    }
}
