package attrs;

import java.util.List;

// A sealed interface whose permitted subclasses are a nested record and a class beside it.
public sealed interface Shape permits Shape.Circle, Square {
    record Circle(@Tag("r") double radius, List<String> labels) implements Shape {}
}

final class Square implements Shape {}
