package m.impl;

import m.api.Shape;

public final class Square implements Shape {
    private final double side;

    public Square() {
        this(1);
    }

    public Square(double side) {
        this.side = side;
    }

    public double area() {
        return side * side;
    }
}
