#pragma once
// The archive options of the class-path commands: multi-release jars read for the selected
// JDK's release (or --multi-release N), manifest Class-Path entries followed and DIR/*
// entries expanded (both always on in the tool), archives kept open between reads, and
// --verbose to list the Class-Path entries that name nothing, archives inside archives
// (OUTER!/PATH entries, always on in the tool) read by --layout with --inflate-budget.

#include <CLI/CLI.hpp>

#include <cstddef>
#include <optional>
#include <string>

#include "ToolJdk.h"
#include "ornith/stores/VQNestedArchives.h"

namespace ornith {
class VQClassLibrary;
}

namespace ornith::tool {

// How many archives a command keeps open between reads (a read of each class reopening
// its archive would be three system calls a class).
inline constexpr size_t kToolOpenArchives = 16;

struct ArchiveToolOptions {
    std::optional<int> multiRelease;
    bool verbose = false;
    VQArchiveLayout layout = VQArchiveLayout::automatic;
    // What deflated nested archives may take inflated, in MiB, for one command.
    uint64_t inflateBudgetMiB = 1024;
};

// Adds --multi-release N, --verbose, --layout and --inflate-budget to the command.
void addArchiveToolOptions(CLI::App* command, ArchiveToolOptions& options);

// The feature release of the chosen JDK, read from its `release` file; with the platform
// turned off, of the JDK that JAVA_HOME or PATH would give; 25 when there is none.
int jdkFeatureRelease(const JdkChoice& jdk);
// The feature release a `release` file's JAVA_VERSION names ("17.0.2" gives 17, "1.8.0"
// gives 8); absent when the text holds none.
std::optional<int> featureReleaseFromReleaseFile(const std::string& text);

// Sets the library's archive options for the tool, multi-release jars read for the
// chosen JDK's release unless the options name one; call before adding entries.
void applyArchiveToolOptions(VQClassLibrary& library, const ArchiveToolOptions& options,
                             const JdkChoice& jdk);

}  // namespace ornith::tool
