package demo.levels;

import java.util.function.*;

@FunctionalInterface
interface Op { int apply(int... xs); }

public sealed interface Shape permits Circle, Square {}
record Circle(double r) implements Shape {}
non-sealed class Square implements Shape {}

@SuppressWarnings({"unchecked", "rawtypes"})
enum Kind { A, B; }

class Modern<T extends Comparable<? super T>> {
    private static final long MASK = 0b1111_0000_1010L;
    protected double half = 0x1.0p-1, big = 1_000_000.5e3d, tiny = .5f;
    int octal = 0_17, hex = 0xCAFE_BABE, under = 1__2;
    char tab = '\t', quote = '\'', oct = '\177', uni = '\u00e9';
    Function<String, Integer> len = String::length;
    BiFunction<Integer, Integer, Integer> add = (a, b) -> a + b;

    int sum(int... xs) {
        assert xs != null : "null";
        int s = 0;
        for (var x : xs) s += x >>> 1 >> 2 << 3;
        s >>>= 1; s >>= 1; s <<= 1;
        return switch (s) { case 0 -> 1; default -> { yield s; } };
    }

    Object match(Object o) {
        if (o instanceof String str && !str.isEmpty()) return str;
        return o instanceof Integer i ? i : null;
    }
}
