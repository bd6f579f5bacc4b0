#pragma once
// Subcommands of the ornith tool register themselves here, each from its own source file,
// so that commands can be added without touching main.
//
// Exit status of every command: 0 on success, 1 when any input failed, 2 for a usage
// error only. Failures are reported on stderr as "ornith: NAME: REASON".

#include <CLI/CLI.hpp>

#include <functional>
#include <string_view>
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
const std::vector<ToolCommand>& toolCommands();

// Writes "ornith: NAME: REASON" and a newline to stderr.
void reportFailure(std::string_view name, std::string_view reason);

}  // namespace ornith::tool
