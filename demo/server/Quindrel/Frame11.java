package Quindrel;

import java.io.File;

/**
 * Stands in for the SMS server in the demo installation: reports how the launcher
 * started it (class path, working directory, runtime) and exits.
 */
public final class Frame11 {
    private Frame11() {
    }

    public static void main(String[] args) {
        System.out.println("Quindrel.Frame11 (demo stand-in for the SMS server) started");
        System.out.println("  java.home:         " + System.getProperty("java.home"));
        System.out.println("  working directory: " + System.getProperty("user.dir"));
        System.out.println("  class path:");
        for (String entry : System.getProperty("java.class.path").split(File.pathSeparator)) {
            System.out.println("    " + entry + (new File(entry).exists() ? "" : "   (missing)"));
        }
    }
}
