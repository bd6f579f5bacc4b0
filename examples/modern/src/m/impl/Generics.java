package m.impl;

import java.io.IOException;
import java.io.Serializable;
import java.util.ArrayList;
import java.util.Collection;
import java.util.List;
import java.util.Map;
import java.util.function.Function;
import java.util.function.Supplier;

/** Generics with bounds and wildcards, inner classes of generic classes, throws of type variables. */
public class Generics<K extends Comparable<K> & Serializable, V> extends ArrayList<Map.Entry<K, V>>
        implements Comparable<Generics<K, V>>, Cloneable {
    public static final String GREETING = "tab\there \"quoted\" \u00e9\u20ac\ud83d\ude00 \u001b[31m";
    public static final char QUOTE = '\'';
    public static final char DQUOTE = '"';
    public static final long BIG = 1L << 40;
    public static final float RATIO = 1.5f;
    public static final double NAN = Double.NaN;
    public static final boolean YES = true;
    public static final byte SMALL = -7;
    static final short MEDIUM = 300;
    protected transient volatile int counter;
    private Map<? super K, ? extends List<V>> index;
    public Inner<String>.Deeper<Integer> chain;

    public class Inner<X> {
        public class Deeper<Y> {
            public Map<X, Y> pair(K key, V value) {
                return null;
            }
        }
    }

    public static class Nested<E extends Enum<E>> {
        public <R> R apply(Function<? super E, ? extends R> f, E e) {
            return f.apply(e);
        }
    }

    public <E extends Exception> void mayThrow(Supplier<E> s) throws E, IOException {
        throw s.get();
    }

    public static int sum(int... values) {
        int total = 0;
        for (int v : values) total += v;
        return total;
    }

    public static <T> List<T>[] arrays(List<T>... lists) {
        return lists;
    }

    public synchronized native void nativeCall(String[][] names);

    public int compareTo(Generics<K, V> other) {
        return 0;
    }

    public Runnable local() {
        class Local implements Runnable {
            public void run() {}
        }
        Runnable anonymous = new Runnable() {
            public void run() {}
        };
        Function<Collection<? extends V>, Integer> size = Collection::size;
        return () -> { anonymous.run(); new Local().run(); size.apply(List.of()); };
    }

    static {
        System.getProperty("init");
    }
}
