package p;

/** Constants of every kind that a ConstantValue attribute can hold. */
public final class Constants {
    public static final String GREETING = "hi";
    public static final String UNICODE = "caf\u00e9 \u4e2d \ud83d\ude00 nul:\u0000";
    public static final long BIG = 1L << 32;
    public static final long MIN_LONG = Long.MIN_VALUE;
    public static final int MINUS_ONE = -1;
    public static final float HALF = 1.5f;
    public static final float TINY = Float.MIN_VALUE;
    public static final double TEN_MILLION = 1.0e7;
    public static final double SMALL = 1.0e-5;
    public static final double NOT_A_NUMBER = Double.NaN;
    public static final double NEGATIVE_INFINITY = Double.NEGATIVE_INFINITY;
    public static final double NEGATIVE_ZERO = -0.0;
    public static final char LETTER = 'A';
    public static final boolean YES = true;
    public static final byte SMALL_BYTE = -128;
    public static final short SHORT = 32767;
    protected volatile int counter;

    private Constants() {}
}
