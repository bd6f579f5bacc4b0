package m.api;

/** A sealed interface with records, a final class and a non-sealed class as its permits. */
public sealed interface Shape permits m.impl.Circle, m.impl.Square, Shape.Unit, Shape.Open {
    double area();

    default String describe() {
        return getClass().getSimpleName() + " of area " + area();
    }

    static Shape unit() {
        return new Unit();
    }

    private static double square(double x) {
        return x * x;
    }

    record Unit() implements Shape {
        public double area() {
            return square(1);
        }
    }

    non-sealed abstract class Open implements Shape {
        protected Open() {}
    }
}
