// `ornith tokens FILE...`: prints the tokens of each Java source file on one line.
//
// Lexical errors go to stderr as the lexer reports them (file name as given, line, message,
// the source line and a caret); the file's remaining tokens are still printed.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ToolCommand.h"
#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQJavaTokenPrinter.h"

namespace ornith::tool {

namespace {

struct TokensOptions {
    std::vector<std::string> files;
};

int runTokens(const TokensOptions& options) {
    int status = 0;
    for (const std::string& file : options.files) {
        VQJavaLexer* lexer = VQOpenJavaSourceFile(file.c_str());
        if (lexer == nullptr) {
            reportFailure(file, "cannot open");
            status = 1;
            continue;
        }
        for (int kind; (kind = VQNextTokenFromJavaLexer(lexer)) != VQJavaTokenEndOfInput;)
            VQPrintJavaLexerToken(lexer, kind);
        if (VQJavaLexerErrorCount(lexer) > 0) status = 1;
        VQCloseJavaSourceFile(lexer);
        std::putchar('\n');
        // One file's line is out before the next file's diagnostics when both streams
        // share a terminal or a file.
        std::fflush(stdout);
    }
    return status;
}

void addTokensCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<TokensOptions>();
    CLI::App* command = app.add_subcommand(
        "tokens", "Print the tokens of each Java source file, one file per line");
    command->add_option("FILE", options->files, "Path to a Java source file")->required();
    command->callback([options, &runner] { runner = [options] { return runTokens(*options); }; });
}

}  // namespace

static bool registered = registerToolCommand({60, &addTokensCommand});

}  // namespace ornith::tool
