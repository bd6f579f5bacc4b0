package m.api;

import java.lang.annotation.ElementType;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;

/** An annotation type with elements of every kind and defaults. */
@Retention(RetentionPolicy.RUNTIME)
@Target({ElementType.TYPE, ElementType.METHOD, ElementType.FIELD, ElementType.PARAMETER})
public @interface Marker {
    String value() default "marked";
    int level() default 3;
    Class<?> type() default Object.class;
    ElementType kind() default ElementType.TYPE;
    String[] tags() default {"a", "b"};
    Retention nested() default @Retention(RetentionPolicy.CLASS);
}
