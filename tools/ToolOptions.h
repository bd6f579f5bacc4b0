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
#include <vector>

#include "ToolArchiveOptions.h"

namespace ornith::tool {

struct ClassPathOptions {
    std::optional<std::string> classPath;
    std::optional<std::string> system;  // a JDK home, or "none"
    bool noDefault = false;             // the old name of --system none
    ArchiveToolOptions archive;
    unsigned jobs = 0;  // -j: workers for a whole class path; 0 is one per core
};

// Adds --class-path (also --cp), --system and --no-default to the command.
void addClassPathOptions(CLI::App* command, ClassPathOptions& options);
// Adds -j/--jobs N, for a command that goes through a whole class path (ToolParallel.h).
void addJobsOption(CLI::App* command, ClassPathOptions& options);
// The command line as the parser is to read it, or a UsageError saying what is wrong with
// it. Options may come before or after the command name, as with javap: they are moved
// after it. The parser takes single-dash options of one letter only, so the customary
// "-cp" and "-classpath" become "--class-path" (up to a "--"). Every option is checked
// against the command's own, so that a misspelt one ("-private") is named as typed, and
// an option that wants a value has one.
std::vector<std::string> toolArguments(int argc, char** argv, CLI::App& app);

}  // namespace ornith::tool
