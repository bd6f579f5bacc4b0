package m.impl;

import m.api.Shape;

public record Circle(double radius) implements Shape {
    /** What the service loader calls: a record has no constructor without arguments. */
    public static Circle provider() {
        return new Circle(1);
    }

    public double area() {
        return Math.PI * radius * radius;
    }
}
