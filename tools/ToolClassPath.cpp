#include "ToolClassPath.h"

#include <cstdlib>

#include "ToolEntryReasons.h"
#include "ToolJdk.h"
#include "ToolParallel.h"
#include "ToolReport.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQFileSystemStore.h"
#include "ornith/stores/VQNestedArchives.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith::tool {

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

    // checkContents: say why when an archive or directory yielded nothing. Module files of
    // a JDK are not opened to check: each is indexed only when a lookup reaches it.
    void add(const std::string& entry, bool checkContents) {
        // An empty piece (a doubled or trailing separator) names nothing worth a word.
        if (entry.empty()) return;
        VQClassLibrary& library = *_result.library;
        const size_t before = library.classStores().size();
        library.appendToClassPath(entry,
                                  [&](const std::string& dropped, const std::exception& failure) {
                                      report(dropped, reasonFor(dropped, failure));
                                  });
        if (!checkContents) return;
        // A DIR/* entry and the Class-Path of a jar add stores of their own: each is
        // reported under its own name.
        const auto& stores = library.classStores();
        if (stores.size() == before) reportUnlistedWildcard(entry);
        for (size_t i = before; i < stores.size(); ++i)
            if (const auto reason = whyUnusable(*stores[i])) report(stores[i]->name(), *reason);
    }

    void report(const std::string& entry, const std::string& reason) {
        reportUnusable(_result, entry, reason);
    }

    static constexpr const char* kNoSuchFile = "no such file or directory";
    // True when the entry, its variables expanded, names nothing on disk.
    static bool namesNothing(const std::string& entry) {
        const std::string expanded = stringByExpandingEnvironmentVariables(entry);
        if (VQFileExists(expanded)) return false;
        // OUTER!/PATH: what the outer archive holds is told when the entry is added.
        if (VQIsNestedEntry(expanded)) return !VQFileExists(VQSplitNestedEntry(expanded).front());
        return true;
    }

private:
    static std::string reasonFor(const std::string& entry, const std::exception& failure) {
        if (namesNothing(entry)) return kNoSuchFile;
        const auto* raised = dynamic_cast<const VQException*>(&failure);
        const VQErrorKind kind = raised ? raised->kind() : VQErrorKind::other;
        // A file that cannot be read gives a kind nothing to recognise (a class file's store
        // reads its class name at once): the system says why.
        if (kind == VQErrorKind::noStoreForEntry || kind == VQErrorKind::unreadableFile)
            if (auto reason = unopenableFileReason(stringByExpandingEnvironmentVariables(entry)))
                return *reason;
        // The registry found no kind for it.
        if (kind == VQErrorKind::noStoreForEntry)
            return "not a directory, archive, runtime image or class file";
        // Anything else raised says why itself.
        return failure.what();
    }

    // A DIR/* entry whose directory cannot be listed gives no stores and no failure from
    // the library: the directory is named with the system's reason. (A directory without
    // jars is no failure, as for java.)
    void reportUnlistedWildcard(const std::string& entry) {
        const std::string expanded = stringByExpandingEnvironmentVariables(entry);
        if (expanded != "*" && !expanded.ends_with("/*")) return;
        std::string directory = expanded == "*" ? "." : expanded.substr(0, expanded.size() - 2);
        if (directory.empty()) directory = "/";
        if (const auto reason = unreadableDirectoryReason(directory)) report(directory, *reason);
    }

    // An archive that indexed nothing and a directory that cannot be listed. An archive
    // that can be read but holds no classes (a jar of resources, or one whose manifest
    // only names other jars) is as good as java takes it for: no failure.
    static std::optional<std::string> whyUnusable(const VQClassStore& store) {
        if (const auto* archive = dynamic_cast<const VQZipFileStore*>(&store)) {
            if (store.containsPackageName("")) return std::nullopt;
            return unusableArchiveReason(*archive);
        }
        if (dynamic_cast<const VQFileSystemStore*>(&store))
            return unreadableDirectoryReason(store.name());
        return std::nullopt;
    }

    ToolLibrary& _result;
};

// The class path the user gave, if any: -cp ('' meaning the current directory, as for
// java), else a CLASSPATH that is set and not empty.
std::optional<std::string> givenClassPath(const ClassPathOptions& options) {
    if (options.classPath) return options.classPath->empty() ? "." : *options.classPath;
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
    // As for java and javap, the current directory when no class path is given.
    deferClassPath(givenClassPath(options).value_or("."), result, adder);
    return result;
}

void reportUnusable(ToolLibrary& found, const std::string& name, std::string_view reason) {
    found.unusableEntry = true;
    if (found.reportedEntries.insert(name).second) reportFailure(name, reason);
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
        // With several jobs, the archives are indexed on all of them first.
        const PrebuiltStores prebuilt(splitClassPath(*path), options.jobs,
                                      result.library->archiveOptions().multiReleaseVersion);
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

}  // namespace ornith::tool
