package attrs;

import java.lang.annotation.ElementType;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;

// Every kind of element value, each with a default.
@Retention(RetentionPolicy.RUNTIME)
public @interface Tag {
    String value() default "none";
    int[] numbers() default {1, 2};
    Class<?> type() default void.class;
    ElementType kind() default ElementType.TYPE;
    Nested nested() default @Nested(level = 1);
    char letter() default 'q';
    long big() default 1L << 40;
    double ratio() default 0.5;
    float half() default 1.5f;
    boolean flag() default true;
    byte small() default 7;
    short medium() default 300;
}
