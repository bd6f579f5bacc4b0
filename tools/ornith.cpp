// The ornith command-line tool: parses the command line and runs the command it names.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "ToolCommand.h"
#include "ToolHeap.h"
#include "ToolOptions.h"
#include "ToolReport.h"

#ifndef ORNITH_VERSION
#define ORNITH_VERSION "unknown"
#endif

namespace {
void reportUsageError(const char* text) {
    std::fprintf(stderr, "ornith: %s\n", text);
}

// Output to a file or a pipe goes out in large writes. stdio's default buffer is a block
// (4 KiB): describing the classes of a corpus, 16 MB of text, made 3,800 system calls. A
// terminal keeps its line buffering.
void bufferStandardOutput() {
    if (isatty(STDOUT_FILENO)) return;
    constexpr size_t kBufferBytes = size_t{256} << 10;
    // Never freed: stdout writes through it until the process ends.
    static char* const buffer = static_cast<char*>(std::malloc(kBufferBytes));
    if (buffer) std::setvbuf(stdout, buffer, _IOFBF, kBufferBytes);
}
}  // namespace

int main(int argc, char** argv) {
    using namespace ornith::tool;
    growHeapInHugePages();
    bufferStandardOutput();
    CLI::App app{"ornith: Java class files, class paths and Java source tokens", "ornith"};
    app.set_version_flag("--version", "ornith " ORNITH_VERSION);
    app.set_help_all_flag("--help-all", "Print this help and every command's, then exit");
    app.require_subcommand(1);
    app.fallthrough(false);

    CommandRunner runner;
    for (const ToolCommand& command : toolCommands()) command.add(app, runner);

    try {
        std::vector<std::string> arguments = toolArguments(argc, argv, app);
        std::reverse(arguments.begin(), arguments.end());  // as the parser takes them
        app.parse(arguments);
        for (const CLI::App* command : app.get_subcommands())
            if (!command->remaining().empty())
                throw UsageError(command->get_name() + ": unexpected argument " +
                                 command->remaining().front());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const UsageError& e) {
        reportUsageError(e.what());
        return 2;
    } catch (const CLI::ParseError& e) {
        // What is left is a value that its option's check refused: the check says why.
        reportUsageError(e.what());
        return 2;
    }
    if (!runner) return 2;
    routeLibraryLog();
    try {
        int status = runner();
        if (std::fflush(stdout) != 0) {
            reportFailure("stdout", "write error");
            return 1;
        }
        return status;
    } catch (const std::exception& e) {
        reportFailure("error", e.what());
        return 1;
    }
}
