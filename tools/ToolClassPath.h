#pragma once
// Where the commands that read classes (describe, list, which) find them, and how they
// take and report class names.
//
// Two sources:
//   - the class path: -cp/-classpath/--cp/--class-path PATH, else CLASSPATH when set and
//     not empty. A path is split at ';' when it holds one, otherwise at ':' outside
//     "${...}" (so that $HOME/a.jar:${X:y}/b is two entries); empty pieces are skipped.
//   - the platform: the runtime image (lib/modules) of the JDK that ToolJdk.h chooses,
//     else its jmods/*.jmod; --system none (or --no-default) turns it off.
// Lookups (describe NAME, which) search the platform first and then the class path, as
// java does. Listings (list, describe --all) cover the class path when there is one, and
// the platform when there is none.
//
// Every unusable entry is reported once, as "ornith: ENTRY: REASON".

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "SortedClassNames.h"
#include "ToolArchiveOptions.h"

namespace ornith {
class VQClassLibrary;
class VQJavaPackage;
}  // namespace ornith

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

// The pieces of a class path, empty ones included.
std::vector<std::string> splitClassPath(std::string_view text);

// A library for one command, and what happened while it was made.
struct ToolLibrary {
    std::shared_ptr<VQClassLibrary> library;
    bool unusableEntry = false;  // an entry (or the chosen JDK) was reported as unusable
    bool noJdkFound = false;     // the platform was wanted, but no JDK could be found
    // Class-path entries not on the library yet, in order: a lookup adds them only as far
    // as it needs (see findClassName), so that a class found in the first jar of a long
    // path does not wait for every other jar to be indexed.
    std::vector<std::string> pendingEntries;
    size_t nextPendingEntry = 0;
    std::set<std::string> reportedEntries;
};

// Adds the next pending entry; false when none is left.
bool addNextPendingEntry(ToolLibrary& found);
// Adds every pending entry: for questions about the whole class path.
void addPendingEntries(ToolLibrary& found);

// Platform first, then the class path. The class-path entries are pending until a lookup
// needs them; entries that name no file are reported at once.
ToolLibrary classLibraryForLookups(const ClassPathOptions& options);
// The class path when one is given, else the platform. Reports "ornith: JDK: none found
// ..." when neither is there.
ToolLibrary classLibraryForListings(const ClassPathOptions& options);

// The binary name of the class that NAME, as a Java developer types it, names on the
// library: java.lang.String, java/lang/String, java/lang/String.class, or a nested class
// with dots (java.util.Map.Entry, tried as java.util.Map$Entry, then java.util$Map$Entry,
// replacing dots from the right as javap does). Absent when there is none.
std::optional<std::string> findClassName(const VQClassLibrary& library, std::string_view name);
// The same on a tool's library, adding pending entries in order until one holds the class
// under the name exactly as typed (no later entry can change that answer), or all of
// them when none does.
std::optional<std::string> findClassName(ToolLibrary& found, std::string_view name);

// Reports "ornith: NAME: not found", with the nearest names of the package NAME names
// when there are close ones ("(did you mean java.lang.String?)"), or a word that no JDK
// was found when that may be why.
void reportNotFound(ToolLibrary& library, std::string_view name);

// Up to three class names on the library nearest to NAME (dotted): from the classes of
// its package, or, when the package does not exist, the same class in the nearest
// packages beside it. Never costs more than listing those packages.
std::vector<std::string> nearestClassNames(const VQClassLibrary& library, std::string_view name);

// Every class name below the package (its own classes included), fully qualified and
// sorted by bytes; a progress line shows while they are gathered.
SortedClassNames sortedClassNamesBelow(const VQJavaPackage& package);

}  // namespace ornith::tool
