// The ornith command-line tool: parses the command line and runs the command it names.

#include <cstdio>
#include <exception>

#include "ToolCommand.h"
#include "ToolOptions.h"
#include "ToolReport.h"

#ifndef ORNITH_VERSION
#define ORNITH_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    using namespace ornith::tool;
    CLI::App app{"ornith: Java class files, class paths and Java source tokens", "ornith"};
    app.set_version_flag("--version", "ornith " ORNITH_VERSION);
    app.set_help_all_flag("--help-all", "Print this help and every command's, then exit");
    app.require_subcommand(1);
    app.fallthrough(false);

    CommandRunner runner;
    for (const ToolCommand& command : toolCommands()) command.add(app, runner);

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
