package attrs;

import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;

// Kept in the class file but not at run time: written as invisible annotations.
@Retention(RetentionPolicy.CLASS)
@interface Nested {
    int level();
}
