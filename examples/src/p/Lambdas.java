package p;

import java.util.List;
import java.util.function.Function;
import java.util.function.Supplier;

/** Lambdas, method references and string concatenation: modern constant-pool kinds. */
public class Lambdas {
    private final String name;

    public Lambdas(String name) {
        this.name = name;
    }

    public String greet(int times) {
        return "Hello, " + name + " x" + times + "!";
    }

    public List<Integer> lengths(List<String> words) {
        Function<String, Integer> length = String::length;
        return words.stream().map(length).toList();
    }

    public Supplier<String> later() {
        return () -> name.toUpperCase();
    }

    public static Runnable noisy(java.io.PrintStream out) {
        return () -> out.println("run");
    }
}
