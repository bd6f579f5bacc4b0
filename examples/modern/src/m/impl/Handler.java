package m.impl;

import m.api.Marker;

/** An interface with default, static and private methods and annotated members. */
@FunctionalInterface
@Marker(value = "handler", level = 2, tags = {})
public interface Handler<T> extends java.util.function.Consumer<T>, java.io.Closeable {
    int LIMIT = 10;

    void handle(@Marker T item) throws Exception;

    default void accept(T item) {
        try {
            handle(item);
        } catch (Exception e) {
            log(e);
        }
    }

    @Deprecated(since = "1")
    default void close() {}

    static <T> Handler<T> ignoring() {
        return item -> {};
    }

    private void log(Exception e) {
        System.err.println(e);
    }
}
