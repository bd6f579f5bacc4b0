class Café {
    String s = "\u4e2d\t\u0041	";
    char c = '\u005c\u005c';
    int \u0061b = 1;
}
