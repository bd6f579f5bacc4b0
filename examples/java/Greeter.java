package demo;

import java.util.List;

/** Says hello. */
public class Greeter extends Object {
    private static final int COUNT = 0x1F;
    protected double ratio = 1.5e-3;
    int count;

    public String greet(String name, char mark) {
        // one line
        if (name == null || name.length() >= 10) {
            return "Hello, " + name + mark;
        }
        count += 2; count++;
        return name.isEmpty() ? "\t" : 'x' + "!";
    }
}
