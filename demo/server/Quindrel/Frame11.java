package Quindrel;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.io.InputStream;

/**
 * Stands in for the SMS server in the demo installation: reports how the launcher
 * started it (class path, working directory, runtime) and exits.
 */
public final class Frame11 {
    private Frame11() {
    }

    public static void main(String[] args) {
        System.out.println("Quindrel.Frame11 (demo stand-in for the SMS server) started");
        String program = program();
        if (program != null) {
            System.out.println("  started as:        " + program);
        }
        System.out.println("  java.home:         " + System.getProperty("java.home"));
        System.out.println("  working directory: " + System.getProperty("user.dir"));
        System.out.println("  class path:");
        for (String entry : System.getProperty("java.class.path").split(File.pathSeparator)) {
            System.out.println("    " + entry + (new File(entry).exists() ? "" : "   (missing)"));
        }
    }

    /** The program path the launcher started, as it passed it (Linux only; else null). */
    private static String program() {
        try {
            InputStream in = new FileInputStream("/proc/self/cmdline");
            try {
                ByteArrayOutputStream first = new ByteArrayOutputStream();
                for (int b = in.read(); b > 0; b = in.read()) {
                    first.write(b);
                }
                return first.toString("UTF-8");
            } finally {
                in.close();
            }
        } catch (IOException e) {
            return null;
        }
    }
}
