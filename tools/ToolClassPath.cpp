#include "ToolClassPath.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "ToolCommand.h"
#include "ToolJdk.h"
#include "ToolProgress.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith::tool {

void addClassPathOptions(CLI::App* command, ClassPathOptions& options) {
    command->add_option("--class-path,--cp", options.classPath,
                        "Class path: entries separated by ';', or by ':' when there is no ';' "
                        "(default: CLASSPATH); also -cp and -classpath");
    command->add_option("--system", options.system,
                        "The JDK whose classes come first (default: JAVA_HOME, else the java "
                        "on PATH); none for no platform classes");
    command->add_flag("--no-default", options.noDefault, "The same as --system none");
    addArchiveToolOptions(command, options.archive);
}

void normaliseClassPathArguments(int argc, char** argv) {
    static char classPath[] = "--class-path";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "-cp") == 0 || std::strcmp(argv[i], "-classpath") == 0)
            argv[i] = classPath;
    }
}

std::vector<std::string> splitClassPath(std::string_view text) {
    std::vector<std::string> pieces;
    if (text.find(';') != std::string_view::npos) {
        size_t start = 0;
        for (size_t stop; (stop = text.find(';', start)) != std::string_view::npos;
             start = stop + 1)
            pieces.emplace_back(text.substr(start, stop - start));
        pieces.emplace_back(text.substr(start));
        return pieces;
    }
    // ':' separates, except inside ${NAME:...}, where it belongs to the reference.
    std::string piece;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            const size_t close = text.find('}', i);
            const size_t end = close == std::string_view::npos ? text.size() : close + 1;
            piece.append(text.substr(i, end - i));
            i = end - 1;
        } else if (c == ':') {
            pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    pieces.push_back(std::move(piece));
    return pieces;
}

namespace {

// Adds entries to a library, reporting each unusable one once, in words that say what
// is wrong with it rather than what the library could not do.
class EntryAdder {
public:
    explicit EntryAdder(ToolLibrary& result) : _result(result) {}

    // checkContents: say so when an archive yielded nothing (it was no archive, or an
    // empty one). Module files of a JDK are not opened to check: each is indexed only
    // when a lookup reaches it.
    void add(const std::string& entry, bool checkContents) {
        // An empty piece (a doubled or trailing separator) names nothing worth a word.
        if (entry.empty()) return;
        VQClassLibrary& library = *_result.library;
        const size_t before = library.classStores().size();
        library.appendToClassPath(entry,
                                  [&](const std::string& dropped, const std::exception& failure) {
                                      report(dropped, reasonFor(dropped, failure));
                                  });
        if (library.classStores().size() == before || !checkContents) return;
        // The entry's own store: Class-Path entries it names come after it.
        if (!library.classStores()[before]->containsPackageName(""))
            report(entry, "no classes found in it");
    }

    void report(const std::string& entry, const std::string& reason) {
        _result.unusableEntry = true;
        if (_result.reportedEntries.insert(entry).second) reportFailure(entry, reason);
    }

    static constexpr const char* kNoSuchFile = "no such file or directory";
    // True when the entry, its variables expanded, names nothing on disk.
    static bool namesNothing(const std::string& entry) {
        return !VQFileExists(stringByExpandingEnvironmentVariables(entry));
    }

private:
    static std::string reasonFor(const std::string& entry, const std::exception& failure) {
        if (namesNothing(entry)) return kNoSuchFile;
        // The registry found no kind for it; anything else raised says why itself.
        if (std::string_view(failure.what()).starts_with("Unknown source of class files"))
            return "not a directory, archive, runtime image or class file";
        return failure.what();
    }

    ToolLibrary& _result;
};

std::optional<std::string> givenClassPath(const ClassPathOptions& options) {
    if (options.classPath) return options.classPath;
    if (const char* variable = std::getenv("CLASSPATH"); variable && *variable)
        return std::string(variable);
    return std::nullopt;
}

// The platform's entries, after reporting a chosen JDK that has none.
void addPlatform(const JdkChoice& jdk, ToolLibrary& result, EntryAdder& adder) {
    if (jdk.source == JdkChoice::Source::none) result.noJdkFound = true;
    if (jdk.home.empty()) return;
    const auto entries = VQClassLibrary::platformEntriesForJavaHome(jdk.home);
    if (entries.empty()) {
        bool isDirectory = false;
        adder.report(jdk.home, VQFileExists(jdk.home, &isDirectory) && isDirectory
                                   ? "no runtime image (lib/modules) and no jmods"
                                   : "no such JDK directory");
        return;
    }
    for (const std::string& entry : entries) adder.add(entry, false);
}

void addClassPath(const std::string& path, EntryAdder& adder) {
    for (const std::string& entry : splitClassPath(path)) adder.add(entry, true);
}

// The class path's entries made pending; those that name no file are reported now, as
// they would be when added (a DIR/* entry is looked at only when it is added).
void deferClassPath(const std::string& path, ToolLibrary& result, EntryAdder& adder) {
    for (std::string& entry : splitClassPath(path)) {
        if (entry.empty()) continue;
        if (!entry.ends_with("*") && EntryAdder::namesNothing(entry))
            adder.report(entry, EntryAdder::kNoSuchFile);
        result.pendingEntries.push_back(std::move(entry));
    }
}

// An empty library with the tool's archive options, read for the chosen JDK's release.
ToolLibrary emptyToolLibrary(const ClassPathOptions& options, const JdkChoice& jdk) {
    ToolLibrary result;
    result.library = VQClassLibrary::classLibrary();
    applyArchiveToolOptions(*result.library, options.archive, jdk);
    return result;
}

}  // namespace

ToolLibrary classLibraryForLookups(const ClassPathOptions& options) {
    const JdkChoice jdk = chooseJdk(options.system, options.noDefault);
    ToolLibrary result = emptyToolLibrary(options, jdk);
    EntryAdder adder(result);
    addPlatform(jdk, result, adder);
    if (const auto path = givenClassPath(options)) deferClassPath(*path, result, adder);
    return result;
}

bool addNextPendingEntry(ToolLibrary& found) {
    if (found.nextPendingEntry >= found.pendingEntries.size()) return false;
    EntryAdder(found).add(found.pendingEntries[found.nextPendingEntry++], true);
    return true;
}

void addPendingEntries(ToolLibrary& found) {
    while (addNextPendingEntry(found)) {
    }
}

ToolLibrary classLibraryForListings(const ClassPathOptions& options) {
    const JdkChoice jdk = chooseJdk(options.system, options.noDefault);
    ToolLibrary result = emptyToolLibrary(options, jdk);
    EntryAdder adder(result);
    if (const auto path = givenClassPath(options)) {
        addClassPath(*path, adder);
        return result;
    }
    addPlatform(jdk, result, adder);
    if (result.noJdkFound) {
        // Nothing to list at all, and the user did not ask for nothing.
        reportFailure("JDK", "none found (give -cp PATH, or --system JDK, or set JAVA_HOME)");
        result.unusableEntry = true;
    }
    return result;
}

// ---- Names ----

namespace {

// The binary name as typed: java/lang/String.class gives java.lang.String.
std::string typedBinaryName(std::string_view typed) {
    std::string name(typed);
    if (name.ends_with(".class")) name.resize(name.size() - 6);
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

}  // namespace

std::optional<std::string> findClassName(ToolLibrary& found, std::string_view typed) {
    const std::string name = typedBinaryName(typed);
    if (!name.empty()) {
        do {
            if (found.library->classStoreNameForClassWithName(name)) return name;
        } while (addNextPendingEntry(found));
    }
    addPendingEntries(found);
    return findClassName(*found.library, typed);
}

std::optional<std::string> findClassName(const VQClassLibrary& library, std::string_view typed) {
    std::string name = typedBinaryName(typed);
    if (name.empty()) return std::nullopt;
    if (library.classStoreNameForClassWithName(name)) return name;
    // A nested class named with dots: the last dots may stand for '$'.
    for (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0;
         dot = name.rfind('.', dot - 1)) {
        name[dot] = '$';
        if (library.classStoreNameForClassWithName(name)) return name;
    }
    return std::nullopt;
}

namespace {

// Edit distance (insertions, deletions, substitutions, adjacent swaps), or limit + 1 as
// soon as it must exceed the limit.
size_t editDistance(std::string_view a, std::string_view b, size_t limit) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
    std::vector<size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        size_t rowBest = current[0];
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
            rowBest = std::min(rowBest, current[j]);
        }
        if (rowBest > limit) return limit + 1;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

// Close enough to be worth suggesting: a slip of a key or two, or a difference of case.
size_t suggestionLimit(std::string_view word) {
    return std::max<size_t>(1, word.size() / 3);
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The words nearest to `word`, best first, at most three.
std::vector<std::string> nearestWords(const std::vector<std::string>& words,
                                      std::string_view word) {
    const size_t limit = suggestionLimit(word);
    const std::string lower = lowered(word);
    std::vector<std::pair<size_t, std::string>> scored;
    for (const std::string& candidate : words) {
        if (candidate == word) continue;
        size_t distance = editDistance(word, candidate, limit);
        // A difference of case alone counts as the smallest slip.
        if (distance > 1 && lowered(candidate) == lower) distance = 1;
        if (distance <= limit) scored.emplace_back(distance, candidate);
    }
    std::sort(scored.begin(), scored.end());
    if (!scored.empty()) {
        const size_t best = scored.front().first;
        scored.erase(std::remove_if(scored.begin(), scored.end(),
                                    [best](const auto& s) { return s.first > best; }),
                     scored.end());
    }
    std::vector<std::string> nearest;
    for (size_t i = 0; i < scored.size() && i < 3; ++i) nearest.push_back(scored[i].second);
    return nearest;
}

std::string qualified(std::string_view package, std::string_view name) {
    return package.empty() ? std::string(name) : std::string(package) + "." + std::string(name);
}

}  // namespace

std::vector<std::string> nearestClassNames(const VQClassLibrary& library, std::string_view typed) {
    const std::string name = typedBinaryName(typed);
    const size_t dot = name.rfind('.');
    const std::string package = dot == std::string::npos ? std::string() : name.substr(0, dot);
    const std::string simple = dot == std::string::npos ? name : name.substr(dot + 1);
    std::vector<std::string> suggestions;
    const auto& stores = library.classStores();
    if (package.empty() || std::any_of(stores.begin(), stores.end(), [&](const auto& store) {
            return store->containsPackageName(package);
        })) {
        // The package is there: the classes in it nearest to the one asked for.
        for (const std::string& near : nearestWords(library.classNamesInPackage(package), simple))
            suggestions.push_back(qualified(package, near));
        return suggestions;
    }
    // A package that is not there: the same class in the packages nearest to it.
    const size_t up = package.rfind('.');
    const std::string parent = up == std::string::npos ? std::string() : package.substr(0, up);
    const std::string last = up == std::string::npos ? package : package.substr(up + 1);
    for (const std::string& near : nearestWords(library.packageNamesInPackage(parent), last)) {
        const std::string candidate = qualified(qualified(parent, near), simple);
        if (library.classStoreNameForClassWithName(candidate)) suggestions.push_back(candidate);
    }
    return suggestions;
}

void reportNotFound(ToolLibrary& result, std::string_view name) {
    addPendingEntries(result);
    std::string reason = "not found";
    const auto nearest = nearestClassNames(*result.library, name);
    if (!nearest.empty()) {
        reason += " (did you mean ";
        for (size_t i = 0; i < nearest.size(); ++i)
            reason.append(i == 0 ? "" : " or ").append(nearest[i]);
        reason += "?)";
    } else if (result.noJdkFound) {
        reason += " (no JDK found: give --system JDK or set JAVA_HOME)";
    }
    reportFailure(name, reason);
}

SortedClassNames sortedClassNamesBelow(const VQJavaPackage& package) {
    SortedClassNames names;
    {
        ProgressLine progress("listing");
        const auto enumerator = package.classNameEnumerator();
        for (const std::string& name : *enumerator) {
            names.add(name);
            progress.step(name, names.size());
        }
    }
    names.sort();
    return names;
}

}  // namespace ornith::tool
