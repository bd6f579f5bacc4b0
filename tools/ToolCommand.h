#pragma once
// Subcommands of the ornith tool register themselves here, each from its own source file,
// so that commands can be added without touching main.
//
// Exit status of every command: 0 on success, 1 when any input failed, 2 for a usage
// error only. Failures are reported on stderr as "ornith: NAME: REASON" (ToolReport.h).

#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <vector>

namespace ornith::tool {

// Set by a command when CLI11 selects it; main calls it after parsing and returns its status.
using CommandRunner = std::function<int()>;

struct ToolCommand {
    int order;  // position in --help
    void (*add)(CLI::App& app, CommandRunner& runner);
};

// Called from a static initializer in each command's source file.
bool registerToolCommand(ToolCommand command);
// The registered commands in --help order.
std::vector<ToolCommand> toolCommands();

// A command line the tool cannot run: main writes "ornith: " and the text, and exits 2.
// The text says what is wrong in the user's words ("which: no class name given").
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ornith::tool
