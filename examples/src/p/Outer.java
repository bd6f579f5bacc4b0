package p;

import java.util.Comparator;

/** Nested, inner, local and anonymous classes. */
public class Outer {
    public static class Nested {
        public int value;
    }

    public class Inner {
        public int outerHash() {
            return Outer.this.hashCode();
        }
    }

    protected abstract static class Base<T> implements Comparator<T> {
        public abstract T make() throws Exception;
    }

    public Comparator<String> byLength() {
        return new Comparator<String>() {
            @Override
            public int compare(String a, String b) {
                return Integer.compare(a.length(), b.length());
            }
        };
    }

    public int local() {
        class Local {
            int twice(int v) {
                return 2 * v;
            }
        }
        return new Local().twice(21);
    }
}
