package q;

public interface Shape {
    double area();
}
