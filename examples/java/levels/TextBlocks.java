class TextBlocks {
    String html = """
        <html>
            <body>\tindented</body>
        </html>
        """;
    String joined = """
        one \
        line\s
        two""";
    String quotes = """
        She said \"""hi\""" and "" left.
          """;
    String octal = "\0\7\77\377\477";
    String escaped = "\\u0041 is not \u0041";
    String empty = """
        """;
    String trailing = """
        keep\040
        strip   
        """;
}
