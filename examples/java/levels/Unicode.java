class Unicode {
    int café = 1;
    int 𝑥 = 2; // a supplementary letter (U+1D465)
    String s = "中文 😀";
    int \u0061b = 3;
    int with­softHyphen = 4;
    char c = '\u2022';
}
