class Errors {
    int a = 9x;
    String s = "bad \q escape";
    char c = '';
    int o = 09;
    String open = "never closed;
    #
}
