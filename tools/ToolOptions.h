#pragma once
// The options of the commands that read classes (describe, list, which): where the class
// path and the platform come from, and the archive options (ToolArchiveOptions.h).
//
//   - the class path: -cp/-classpath/--cp/--class-path PATH, else CLASSPATH when set and
//     not empty.
//   - the platform: the runtime image (lib/modules) of the JDK that ToolJdk.h chooses,
//     else its jmods/*.jmod; --system none (or --no-default) turns it off.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "ToolArchiveOptions.h"

namespace ornith::tool {

struct ClassPathOptions {
    std::optional<std::string> classPath;
    std::optional<std::string> system;  // a JDK home, or "none"
    bool noDefault = false;             // the old name of --system none
    ArchiveToolOptions archive;
};

// Adds --class-path (also --cp), --system and --no-default to the command.
void addClassPathOptions(CLI::App* command, ClassPathOptions& options);
// The argument parser takes single-dash options of one letter only, so the customary
// "-cp" and "-classpath" are rewritten to "--class-path" before parsing (up to a "--").
void normaliseClassPathArguments(int argc, char** argv);

}  // namespace ornith::tool
