#pragma once
// The class library of one command: the platform and the class path that ToolOptions.h
// describes, the class path's entries added only as far as a lookup needs them.
//
// A path is split at ';' when it holds one, otherwise at ':' outside "${...}" (so that
// $HOME/a.jar:${X:y}/b is two entries); empty pieces are skipped.
// Lookups (describe NAME, which) search the platform first and then the class path, as
// java does; with no class path given, the current directory is the class path, as it is
// for java and javap (-cp '' names it too). Listings (list, describe --all) cover the class
// path when one is given, and the platform when none is.
//
// Every unusable entry is reported once, as "ornith: ENTRY: REASON".

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ToolOptions.h"

namespace ornith {
class VQClassLibrary;
}

namespace ornith::tool {

// The pieces of a class path, empty ones included.
std::vector<std::string> splitClassPath(std::string_view text);

// A library for one command, and what happened while it was made.
struct ToolLibrary {
    std::shared_ptr<VQClassLibrary> library;
    bool unusableEntry = false;  // an entry (or the chosen JDK) was reported as unusable
    bool noJdkFound = false;     // the platform was wanted, but no JDK could be found
    // Class-path entries not on the library yet, in order: a lookup adds them only as far
    // as it needs (see ToolNames.h), so that a class found in the first jar of a long path
    // does not wait for every other jar to be indexed.
    std::vector<std::string> pendingEntries;
    size_t nextPendingEntry = 0;
    std::set<std::string> reportedEntries;
};

// Adds the next pending entry; false when none is left.
bool addNextPendingEntry(ToolLibrary& found);
// Adds every pending entry: for questions about the whole class path.
void addPendingEntries(ToolLibrary& found);
// Reports "ornith: NAME: REASON" once per name for the library, and marks it unusable.
void reportUnusable(ToolLibrary& found, const std::string& name, std::string_view reason);

// Platform first, then the class path. The class-path entries are pending until a lookup
// needs them; entries that name no file are reported at once.
ToolLibrary classLibraryForLookups(const ClassPathOptions& options);
// The class path when one is given, else the platform. Reports "ornith: JDK: none found
// ..." when neither is there.
ToolLibrary classLibraryForListings(const ClassPathOptions& options);

}  // namespace ornith::tool
