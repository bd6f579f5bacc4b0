// The ornith command-line tool: main, the command registry and the shared failure report.

#include <algorithm>
#include <cstdio>
#include <exception>

#include "ToolClassPath.h"
#include "ToolCommand.h"

#ifndef ORNITH_VERSION
#define ORNITH_VERSION "unknown"
#endif

namespace ornith::tool {

namespace {
std::vector<ToolCommand>& registry() {
    static std::vector<ToolCommand> commands;
    return commands;
}
}  // namespace

bool registerToolCommand(ToolCommand command) {
    registry().push_back(command);
    return true;
}

const std::vector<ToolCommand>& toolCommands() {
    return registry();
}

void reportFailure(std::string_view name, std::string_view reason) {
    std::fflush(stdout);  // keep stdout and stderr in order when both go to one terminal
    std::fprintf(stderr, "ornith: %.*s: %.*s\n", static_cast<int>(name.size()), name.data(),
                 static_cast<int>(reason.size()), reason.data());
}

}  // namespace ornith::tool

int main(int argc, char** argv) {
    using namespace ornith::tool;
    CLI::App app{"ornith: Java class files, class paths and Java source tokens", "ornith"};
    app.set_version_flag("--version", "ornith " ORNITH_VERSION);
    app.set_help_all_flag("--help-all", "Print this help and every command's, then exit");
    app.require_subcommand(1);
    app.fallthrough(false);

    std::vector<ToolCommand> commands = toolCommands();
    std::sort(commands.begin(), commands.end(),
              [](const ToolCommand& a, const ToolCommand& b) { return a.order < b.order; });
    CommandRunner runner;
    for (const ToolCommand& command : commands) command.add(app, runner);

    normaliseClassPathArguments(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }
    if (!runner) return 2;
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
