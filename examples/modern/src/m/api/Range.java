package m.api;

import java.util.List;
import java.util.Objects;

/** A generic record with a compact constructor, a static factory and an annotated component. */
public record Range<T extends Comparable<? super T>>(@Marker("low") T low, T high, List<? extends T> samples)
        implements Comparable<Range<T>> {
    public Range {
        Objects.requireNonNull(low);
    }

    @SafeVarargs
    public static <T extends Comparable<? super T>> Range<T> of(T low, T high, T... samples) {
        return new Range<>(low, high, List.of(samples));
    }

    @Override
    public int compareTo(Range<T> other) {
        return low.compareTo(other.low);
    }
}
