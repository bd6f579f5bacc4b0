package p;
public class Plain { public String name() { return "x" + java.util.List.of(); } }
