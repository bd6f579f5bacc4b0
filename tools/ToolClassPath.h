#pragma once
// The class path of the commands that look classes up (describe, list, which).
//
// Where it comes from, first match wins:
//   1. -cp/--class-path PATH;
//   2. CLASSPATH, when set and not empty;
//   3. unless --no-default: the .jmod files of the JDK found through JAVA_HOME, else
//      through the first `java` on PATH whose JDK has them;
//   4. nothing.
// A path is split at ';' when it holds one, otherwise at ':' outside "${...}" (so that
// $HOME/a.jar:${X:y}/b is two entries). Empty pieces are skipped; an entry that gives no
// store is reported on stderr and skipped, and the command goes on.

#include <CLI/CLI.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ToolArchiveOptions.h"

namespace ornith {
class VQClassLibrary;
class VQJavaPackage;
}  // namespace ornith

namespace ornith::tool {

struct ClassPathOptions {
    std::optional<std::string> classPath;
    bool noDefault = false;
    ArchiveToolOptions archive;
};

// Adds --class-path (also --cp) and --no-default to the command.
void addClassPathOptions(CLI::App* command, ClassPathOptions& options);
// The argument parser takes single-dash options of one letter only, so the customary
// "-cp" is rewritten to "--class-path" before parsing (up to a "--").
void normaliseClassPathArguments(int argc, char** argv);

// The pieces of a class path, empty ones included.
std::vector<std::string> splitClassPath(std::string_view text);

// The JDK's .jmod files in name order, or none: JAVA_HOME's, else those of the JDK of the
// first `java` on PATH (symbolic links resolved) that has a jmods folder.
std::vector<std::string> defaultJdkModules();

// The library for the options, as described above. Entries that give no store, and
// archives in which nothing could be indexed, are reported as "ornith: ENTRY: REASON".
std::shared_ptr<VQClassLibrary> classLibraryForOptions(const ClassPathOptions& options);

// Every class name below the package (its own classes included), fully qualified and
// sorted by bytes; a progress line shows while they are gathered.
std::vector<std::string> sortedClassNamesBelow(const VQJavaPackage& package);

// A one-line progress report on stderr for long walks, shown only when stderr is a
// terminal; the line is cleared when the object goes.
class ProgressLine {
public:
    explicit ProgressLine(std::string verb);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Called once per item; redraws now and then.
    void step(std::string_view item, size_t done, size_t total = 0);

private:
    std::string _verb;
    bool _enabled;
    bool _shown = false;
};

}  // namespace ornith::tool
