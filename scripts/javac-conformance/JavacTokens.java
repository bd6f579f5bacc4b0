import java.io.BufferedWriter;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

import javax.tools.Diagnostic;
import javax.tools.DiagnosticListener;
import javax.tools.JavaFileObject;
import javax.tools.SimpleJavaFileObject;

import com.sun.tools.javac.code.Source;
import com.sun.tools.javac.parser.Scanner;
import com.sun.tools.javac.parser.ScannerFactory;
import com.sun.tools.javac.parser.Tokens.Token;
import com.sun.tools.javac.parser.Tokens.TokenKind;
import com.sun.tools.javac.util.Context;
import com.sun.tools.javac.util.Log;
import com.sun.tools.javac.util.Options;

/**
 * Dumps the tokens that javac's own scanner makes of each file in a list, in the format of
 * `ornith tokens --lines`: "== PATH", then per token "KIND<tab>TEXT" (plus "<tab>VALUE" for
 * string literals and text blocks), then "!! N" with the number of errors javac reported.
 * KIND is javac's TokenKind mapped onto ornith's kind numbers; TEXT is the source from the
 * token's start to its end with Unicode escapes resolved; VALUE is javac's stringVal().
 * Files are decoded from UTF-8 with malformed input replaced, as javac does by default.
 *
 *   java --add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED \
 *        --add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED \
 *        --add-exports jdk.compiler/com.sun.tools.javac.code=ALL-UNNAMED \
 *        JavacTokens.java RELEASE FILE-LIST
 */
public final class JavacTokens {
    public static void main(String[] args) throws IOException {
        String release = args[0];
        List<String> files = Files.readAllLines(Path.of(args[1]));
        int[] errors = new int[1];
        Context ctx = new Context();
        Options options = Options.instance(ctx);
        options.put("-source", release);
        options.put("--source", release);
        options.put("--release", release);
        // Every error counts: javac stops reporting after 100 by default.
        options.put("-Xmaxerrs", "2147483647");
        ctx.put(DiagnosticListener.class, (DiagnosticListener<JavaFileObject>) d -> {
            if (d.getKind() == Diagnostic.Kind.ERROR) errors[0]++;
        });
        System.err.println("javac scanner at source " + Source.instance(ctx).name);
        ScannerFactory factory = ScannerFactory.instance(ctx);
        BufferedWriter out = new BufferedWriter(
                new OutputStreamWriter(System.out, StandardCharsets.UTF_8), 1 << 16);
        StringBuilder line = new StringBuilder();
        for (String file : files) {
            char[] source = new String(Files.readAllBytes(Path.of(file)), StandardCharsets.UTF_8)
                    .toCharArray();
            errors[0] = 0;
            out.write("== " + file + "\n");
            // Diagnostics need a source to place their positions in.
            String content = new String(source);
            Log.instance(ctx).useSource(new SimpleJavaFileObject(Path.of(file).toUri(),
                    JavaFileObject.Kind.SOURCE) {
                @Override
                public CharSequence getCharContent(boolean ignoreEncodingErrors) {
                    return content;
                }
            });
            Scanner scanner = factory.newScanner(source, source.length, false);
            for (;;) {
                scanner.nextToken();
                Token token = scanner.token();
                if (token.kind == TokenKind.EOF) break;
                String text = resolveEscapes(source, token.pos, token.endPos);
                int kind = kindOf(token.kind, text);
                line.setLength(0);
                line.append(kind).append('\t');
                escape(line, text);
                if (token.kind == TokenKind.STRINGLITERAL) {
                    line.append('\t');
                    escape(line, token.stringVal());
                }
                line.append('\n');
                out.write(line.toString());
            }
            out.write("!! " + errors[0] + "\n");
        }
        out.flush();
    }

    // The characters of [from, to) with Unicode escapes made into their characters; a
    // backslash that follows an odd run of backslashes begins none.
    static String resolveEscapes(char[] s, int from, int to) {
        StringBuilder b = new StringBuilder(to - from);
        // Parity of the backslashes just before `from`.
        int run = 0;
        for (int i = from - 1; i >= 0 && s[i] == '\\'; i--) run++;
        boolean afterOdd = run % 2 == 1;
        for (int i = from; i < to; i++) {
            char c = s[i];
            if (c == '\\' && !afterOdd && i + 1 < to && s[i + 1] == 'u') {
                int j = i + 1;
                while (j < to && s[j] == 'u') j++;
                if (j + 4 <= to) {
                    try {
                        int value = Integer.parseInt(new String(s, j, 4), 16);
                        if (new String(s, j, 4).chars().allMatch(ch -> Character.digit(ch, 16) >= 0)) {
                            b.append((char) value);
                            i = j + 3;
                            afterOdd = false;
                            continue;
                        }
                    } catch (NumberFormatException e) {
                        // not an escape
                    }
                }
            }
            afterOdd = c == '\\' && !afterOdd;
            b.append(c);
        }
        return b.toString();
    }

    static void escape(StringBuilder b, String s) {
        for (int i = 0; i < s.length(); i++) {
            char u = s.charAt(i);
            if (u >= 0x20 && u < 0x7F && u != '\\') b.append(u);
            else if (u == '\\') b.append("\\\\");
            else b.append(String.format("\\u%04x", (int) u));
        }
    }

    static int kindOf(TokenKind kind, String text) {
        switch (kind.name()) {
            case "ERROR": return 375;
            case "IDENTIFIER": return 328;
            case "ABSTRACT": return 350;
            case "ASSERT": return 380;
            case "BOOLEAN": return 329;
            case "BREAK": return 365;
            case "BYTE": return 330;
            case "CASE": return 360;
            case "CATCH": return 369;
            case "CHAR": return 334;
            case "CLASS": return 340;
            case "CONST": return 383;
            case "CONTINUE": return 366;
            case "DEFAULT": return 361;
            case "DO": return 363;
            case "DOUBLE": return 336;
            case "ELSE": return 358;
            case "ENUM": return 381;
            case "EXTENDS": return 341;
            case "FINAL": return 351;
            case "FINALLY": return 371;
            case "FLOAT": return 335;
            case "FOR": return 364;
            case "GOTO": return 384;
            case "IF": return 357;
            case "IMPLEMENTS": return 342;
            case "IMPORT": return 339;
            case "INSTANCEOF": return 373;
            case "INT": return 332;
            case "INTERFACE": return 343;
            case "LONG": return 333;
            case "NATIVE": return 352;
            case "NEW": return 372;
            case "PACKAGE": return 338;
            case "PRIVATE": return 347;
            case "PROTECTED": return 348;
            case "PUBLIC": return 346;
            case "RETURN": return 367;
            case "SHORT": return 331;
            case "STATIC": return 349;
            case "STRICTFP": return 382;
            case "SUPER": return 344;
            case "SWITCH": return 359;
            case "SYNCHRONIZED": return 353;
            case "THIS": return 345;
            case "THROW": return 368;
            case "THROWS": return 356;
            case "TRANSIENT": return 354;
            case "TRY": return 370;
            case "VOID": return 337;
            case "VOLATILE": return 355;
            case "WHILE": return 362;
            case "INTLITERAL": case "LONGLITERAL": return 322;
            case "FLOATLITERAL": case "DOUBLELITERAL": return 323;
            case "CHARLITERAL": return 324;
            case "STRINGLITERAL": return text.startsWith("\"\"\"") ? 379 : 327;
            case "TRUE": case "FALSE": return 325;
            case "NULL": return 326;
            case "UNDERSCORE": return 385;
            case "ARROW": return 376;
            case "COLCOL": return 377;
            case "ELLIPSIS": return 378;
            case "LPAREN": return '(';
            case "RPAREN": return ')';
            case "LBRACE": return '{';
            case "RBRACE": return '}';
            case "LBRACKET": return '[';
            case "RBRACKET": return ']';
            case "SEMI": return ';';
            case "COMMA": return ',';
            case "DOT": return '.';
            case "MONKEYS_AT": return '@';
            case "EQ": return '=';
            case "GT": return '>';
            case "LT": return '<';
            case "BANG": return '!';
            case "TILDE": return '~';
            case "QUES": return '?';
            case "COLON": return ':';
            case "PLUS": return '+';
            case "SUB": return '-';
            case "STAR": return '*';
            case "SLASH": return '/';
            case "AMP": return '&';
            case "BAR": return '|';
            case "CARET": return '^';
            case "PERCENT": return '%';
            case "EQEQ": return 300;
            case "BANGEQ": return 301;
            case "PLUSEQ": return 302;
            case "SUBEQ": return 303;
            case "PLUSPLUS": return 304;
            case "SUBSUB": return 305;
            case "STAREQ": return 306;
            case "SLASHEQ": return 307;
            case "PERCENTEQ": return 308;
            case "CARETEQ": return 309;
            case "AMPEQ": return 310;
            case "BAREQ": return 311;
            case "AMPAMP": return 312;
            case "BARBAR": return 313;
            case "LTLT": return 314;
            case "GTGT": return 315;
            case "GTGTGT": return 316;
            case "LTLTEQ": return 317;
            case "GTGTEQ": return 318;
            case "GTGTGTEQ": return 319;
            case "LTEQ": return 320;
            case "GTEQ": return 321;
            default: return -1000;  // a kind this table does not know: always a difference
        }
    }
}
