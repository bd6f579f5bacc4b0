package attrs;

import java.util.List;
import java.util.function.Supplier;

// Member, local and anonymous classes, annotated members and parameters.
@Tag(value = "outer", numbers = {}, type = String[].class, nested = @Nested(level = 5))
@Deprecated
public class Outer {
    private static class Hidden {}

    protected final class Inner {
        Inner(@Tag("p") int x, String name) {}
    }

    @Nested(level = 2)
    public List<String> field;

    public Supplier<Object> local(final int seed) {
        class Local implements Supplier<Object> {
            public Object get() {
                return seed;
            }
        }
        Runnable r = new Runnable() {
            public void run() {}
        };
        r.run();
        return new Local();
    }

    @Deprecated(since = "9", forRemoval = true)
    public void old(@Nested(level = 3) String s, int count) {}
}
