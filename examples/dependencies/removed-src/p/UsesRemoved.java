package p;
import com.sun.image.codec.jpeg.JPEGCodec;
public class UsesRemoved {
    JPEGCodec codec;
    public Object encode(Object o) { return JPEGCodec.createJPEGEncoder(o) + String.valueOf(1) + sun.misc.Unsafe.class; }
}
