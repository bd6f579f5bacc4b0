public class Hello {
    public static void main(String[] args) throws java.io.IOException, InterruptedException {
        System.out.println("Hello");
    }
}
