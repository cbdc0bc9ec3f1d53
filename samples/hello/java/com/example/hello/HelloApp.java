package com.example.hello;

import com.example.extras.Greeting;
import java.awt.GraphicsEnvironment;
import javax.swing.JOptionPane;
import javax.swing.JScrollPane;
import javax.swing.JTextArea;

/** Shows what the launcher handed over: arguments, properties and where the output went. */
public final class HelloApp {
    private static final String[] PROPERTIES = {
        "java.version", "java.home", "java.class.path", "java.library.path",
        "sample.title", "sample.runtime", "sun.java2d.dpiaware", "user.dir"
    };

    public static void main(String[] args) {
        StringBuilder report = new StringBuilder(Greeting.text()).append("\n\nArguments (").append(args.length).append("):\n");
        for (String arg : args) report.append("  [").append(arg).append("]\n");
        report.append("\nSystem properties:\n");
        for (String name : PROPERTIES) report.append("  ").append(name).append(" = ").append(System.getProperty(name)).append('\n');
        report.append("\nZORV_JVM_HOME = ").append(System.getenv("ZORV_JVM_HOME")).append('\n');
        report.append("Max heap: ").append(Runtime.getRuntime().maxMemory() / (1024 * 1024)).append(" MB\n");

        System.out.print(report);
        System.err.println("This line went to standard error.");
        System.out.flush();

        if (!GraphicsEnvironment.isHeadless() && !"true".equals(System.getProperty("sample.quiet"))) {
            JTextArea text = new JTextArea(report.toString(), 24, 72);
            text.setEditable(false);
            JOptionPane.showMessageDialog(null, new JScrollPane(text), System.getProperty("sample.title", "Hello"),
                    JOptionPane.INFORMATION_MESSAGE);
        }
    }
}
