package p;

import java.io.Serializable;

public class Point implements Serializable, Cloneable {
    public static final int ORIGIN = 0;
    private int x;
    protected transient long[] cache;

    public Point(int x, int y) throws IllegalArgumentException {
        if (x < y) throw new IllegalArgumentException("x < y");
        this.x = x;
    }

    static {
        System.setProperty("p.Point.loaded", "true");
    }

    public synchronized String[] names(int[][] grid, Object hint) {
        return new String[] {String.valueOf(grid.length), String.valueOf(hint), String.valueOf(x)};
    }

    public native void clear();
}
