package modern;

import java.lang.instrument.Instrumentation;

// Started before main when the jar's manifest names it as Launcher-Agent-Class.
public class Agent {
    public static void agentmain(String options, Instrumentation instrumentation) {
        System.setProperty("modern.agent", "ran");
    }
}
