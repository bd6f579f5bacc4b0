// `ornith tokens [--release N|classic] [--lines] FILE...`: prints the tokens of each Java
// source file on one line.
//
// Lexical errors go to stderr as the lexer reports them (file name as given, line, message,
// the source line and a caret), with controls in them escaped unless --raw is given; the
// file's remaining tokens are still printed. Without
// --release the files are lexed as the latest Java release the lexer knows; --release
// classic gives the first grammar Java had.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SafeText.h"
#include "ToolCommand.h"
#include "ToolReport.h"
#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQJavaTokenPrinter.h"

namespace ornith::tool {

namespace {

struct TokensOptions {
    std::vector<std::string> files;
    std::string release;
    bool lines = false;
    bool raw = false;
};

// Lexical reports on their way to stderr: each line of a report is written with its
// controls and bidirectional marks escaped (tabs kept, so that the caret still stands
// under its character), since the echoed source line is the file's own text. Reports
// come in pieces that may cut a line, or a character, in two: a line is written whole.
class EscapingDiagnostics {
public:
    ~EscapingDiagnostics() { flush(); }

    static void write(void* context, const char* bytes, size_t length) {
        auto& self = *static_cast<EscapingDiagnostics*>(context);
        for (size_t i = 0; i < length; ++i) {
            if (bytes[i] == '\n') {
                self.flush();
                std::fputc('\n', stderr);
            } else {
                self._line.push_back(bytes[i]);
            }
        }
    }

    void flush() {
        std::string out;
        size_t start = 0;
        for (size_t tab; (tab = _line.find('\t', start)) != std::string::npos; start = tab + 1) {
            appendSafeText(std::string_view(_line).substr(start, tab - start), out);
            out.push_back('\t');
        }
        appendSafeText(std::string_view(_line).substr(start), out);
        std::fwrite(out.data(), 1, out.size(), stderr);
        _line.clear();
    }

private:
    std::string _line;
};

// One unit for --lines: printable ASCII but the backslash as itself, all else \uXXXX.
void putDumpUnit(char16_t u) {
    if (u >= 0x20 && u < 0x7F && u != '\\')
        std::putchar(u);
    else if (u == '\\')
        std::fputs("\\\\", stdout);
    else
        std::printf("\\u%04x", static_cast<unsigned>(u));
}

// The name of a token kind, as --lines prints it beside the number.
std::string kindName(int kind) {
    switch (kind) {
        case VQJavaTokenIntegerLiteral:
            return "integer literal";
        case VQJavaTokenFloatingLiteral:
            return "floating-point literal";
        case VQJavaTokenCharacterLiteral:
            return "character literal";
        case VQJavaTokenBooleanLiteral:
            return "boolean literal";
        case VQJavaTokenNullLiteral:
            return "null literal";
        case VQJavaTokenStringLiteral:
            return "string literal";
        case VQJavaTokenTextBlock:
            return "text block";
        case VQJavaTokenIdentifier:
            return "identifier";
        case VQJavaTokenError:
            return "error";
        default:
            break;
    }
    if (const char* keyword = VQJavaKeywordForKind(kind)) return std::string("keyword ") + keyword;
    static const char* const kOperators[] = {
        "==", "!=", "+=", "-=", "*=", "/=",  "%=",  "^=",  "&=",   "|=", "&&",
        "||", "++", "--", "<<", ">>", ">>>", "<<=", ">>=", ">>>=", "<=", ">="};
    if (kind >= VQJavaTokenEqual && kind <= VQJavaTokenGreaterOrEqual)
        return std::string("operator ") + kOperators[kind - VQJavaTokenEqual];
    if (kind == VQJavaTokenArrow) return "operator ->";
    if (kind == VQJavaTokenColonColon) return "separator ::";
    if (kind == VQJavaTokenEllipsis) return "separator ...";
    if (kind > 0x20 && kind < 0x7F) {
        const char c = static_cast<char>(kind);
        const bool separator = std::string_view("(){}[];,.@").find(c) != std::string_view::npos;
        return (separator ? "separator " : "operator ") + std::string(1, c);
    }
    return "kind " + std::to_string(kind);
}

// The line the token starts on: the stream is on the line where the token ends, which
// for a text block is as many lines on as the block has line ends.
int32_t tokenLine(const VQJavaLexer* lexer, int kind) {
    int32_t line = lexer->stream->lineNumber;
    if (kind != VQJavaTokenTextBlock) return line;
    for (uint32_t i = 0; i < lexer->textLength; ++i) {
        const char16_t u = lexer->text[i];
        const bool crlf = u == '\r' && i + 1 < lexer->textLength && lexer->text[i + 1] == '\n';
        if ((u == '\n' || u == '\r') && !crlf) --line;
    }
    return line;
}

// The token as "KIND<tab>NAME<tab>LINE:COLUMN<tab>TEXT", with "<tab>VALUE" for strings and
// text blocks; lines and columns count from 1, columns in 16-bit units.
void printTokenLine(VQJavaLexer* lexer, int kind) {
    const std::string name = kindName(kind);
    std::printf("%d\t%s\t%d:%u\t", kind, name.c_str(), static_cast<int>(tokenLine(lexer, kind)),
                static_cast<unsigned>(lexer->column + 1));
    for (uint32_t i = 0; i < lexer->textLength; ++i) putDumpUnit(lexer->text[i]);
    uint32_t length = 0;
    if (const char16_t* value = VQJavaLexerStringValue(lexer, &length)) {
        std::putchar('\t');
        for (uint32_t i = 0; i < length; ++i) putDumpUnit(value[i]);
    }
    std::putchar('\n');
}

int runTokens(const TokensOptions& options, int level) {
    int status = 0;
    for (const std::string& file : options.files) {
        VQJavaLexer* lexer = VQOpenJavaSourceFileAtLevel(file.c_str(), level);
        if (lexer == nullptr) {
            reportFailure(file, "cannot open");
            status = 1;
            continue;
        }
        EscapingDiagnostics escaping;
        if (!options.raw)
            VQSetJavaLexerDiagnosticWriter(lexer, &EscapingDiagnostics::write, &escaping);
        if (options.lines) std::printf("== %s\n", file.c_str());
        for (int kind; (kind = VQNextTokenFromJavaLexer(lexer)) != VQJavaTokenEndOfInput;) {
            if (options.lines)
                printTokenLine(lexer, kind);
            else
                VQPrintJavaLexerToken(lexer, kind);
        }
        if (VQJavaLexerErrorCount(lexer) > 0) status = 1;
        VQCloseJavaSourceFile(lexer);
        if (!options.lines) std::putchar('\n');
        // One file's line is out before the next file's diagnostics when both streams
        // share a terminal or a file.
        std::fflush(stdout);
    }
    return status;
}

// VQJavaLevelClassic, a release from 8 to 25, or -1 for anything else.
int parseLevel(const std::string& text) {
    if (text.empty()) return VQJavaLevelLatestRelease;
    if (text == "classic") return VQJavaLevelClassic;
    if (text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    int release = std::stoi(text);
    return release >= VQJavaLevelFirstRelease && release <= VQJavaLevelLatestRelease ? release : -1;
}

void addTokensCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<TokensOptions>();
    CLI::App* command = app.add_subcommand(
        "tokens",
        "Print the tokens of each Java source file, one file per line. Files are read as the "
        "latest Java release known (25, UTF-8) unless --release says otherwise");
    command
        ->add_option("--release", options->release,
                     "Lexical grammar: a Java release from 8 to 25 (that release's tokens, "
                     "keywords, literals and identifier characters; files read as UTF-8), or "
                     "'classic' (the first Java grammar: no @ -> :: ... or text blocks, "
                     "one byte per character). Default: 25")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check([](const std::string& value) {
            return value.empty() || parseLevel(value) < 0
                       ? "'" + value + "' is not a release from 8 to 25, nor 'classic'"
                       : std::string();
        });
    command->add_flag("--lines", options->lines,
                      "One token per line instead: the kind number, its name, LINE:COLUMN "
                      "(from 1), the text with \\\\ and \\uXXXX escapes, and for strings and "
                      "text blocks the value, separated by tabs; each file starts with "
                      "'== FILE'");
    command->add_flag("--raw", options->raw,
                      "Echo the source line of a lexical error as its bytes, with no escapes "
                      "for controls and bidirectional marks");
    command->add_option("FILE", options->files, "Path to a Java source file");
    command->allow_extras();
    command->callback([options, &runner] {
        if (options->files.empty()) throw UsageError("tokens: no FILE given");
        runner = [options] { return runTokens(*options, parseLevel(options->release)); };
    });
}

}  // namespace

static bool registered = registerToolCommand({60, &addTokensCommand});

}  // namespace ornith::tool
