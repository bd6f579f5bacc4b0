#include "ToolCommand.h"

#include <algorithm>

namespace ornith::tool {

namespace {
// Filled by static initializers in any order, hence a function-local static.
std::vector<ToolCommand>& registry() {
    static std::vector<ToolCommand> commands;
    return commands;
}
}  // namespace

bool registerToolCommand(ToolCommand command) {
    registry().push_back(command);
    return true;
}

std::vector<ToolCommand> toolCommands() {
    std::vector<ToolCommand> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const ToolCommand& a, const ToolCommand& b) { return a.order < b.order; });
    return commands;
}

}  // namespace ornith::tool
