package m.api;

/** An enum whose constants have bodies, with a constructor and an abstract method. */
public enum Planet implements Comparable<Planet>, java.io.Serializable {
    MERCURY(3.303e+23, 2.4397e6) {
        @Override
        public String symbol() {
            return "\u263F";
        }
    },
    EARTH(5.976e+24, 6.37814e6) {
        @Override
        public String symbol() {
            return "\u2295";
        }
    };

    public static final double G = 6.67300E-11;
    private final double mass;
    private final double radius;

    Planet(double mass, double radius) {
        this.mass = mass;
        this.radius = radius;
    }

    public abstract String symbol();

    public double surfaceGravity() {
        return G * mass / (radius * radius);
    }
}
