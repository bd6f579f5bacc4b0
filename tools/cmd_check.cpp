// `ornith check CLASSPATH...`: the health of a class path. It finds
//   - duplicate classes: a class in more than one entry, with the entry that wins (the
//     first, as java loads it) and whether each later copy has the same bytes;
//   - split packages: a package in more than one entry, or in an entry and a platform
//     module;
//   - missing classes: referenced by a class that the path loads but in no entry and
//     not on the platform, with the classes that reference them.
// Entries are followed as java follows them (manifest Class-Path, DIR/*), each archive
// once. The status is 1 when anything is found or an entry cannot be read, else 0.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolDeps.h"
#include "ToolReport.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith::tool {

namespace {

// The kinds of finding. Members that are referenced but not declared (a method gone from
// a newer jar) belong here as a fourth kind once the instructions of method bodies are
// decoded: they are found from the same scans, by the references' names and descriptors.
enum class Finding { duplicates, split, missing };

struct CheckOptions {
    std::vector<std::string> paths;
    std::optional<std::string> system;
    std::vector<std::string> ignore;
    std::vector<std::string> only;
    std::string format = "text";
};

struct Copy {
    size_t entry;
    bool identical;  // the same bytes as the winning copy
};

class CheckRun {
public:
    explicit CheckRun(const CheckOptions& options) : _options(options) {}
    int run();

private:
    bool wanted(Finding finding) const {
        if (_options.only.empty()) return true;
        static const char* const kNames[] = {"duplicates", "split", "missing"};
        return std::find(_options.only.begin(), _options.only.end(),
                         kNames[static_cast<int>(finding)]) != _options.only.end();
    }
    bool ignored(const std::string& name) const {
        for (const std::regex& pattern : _ignore)
            if (std::regex_match(name, pattern)) return true;
        return false;
    }
    bool onPlatform(const std::string& className) const {
        return _platform.image ? _platform.image->containsClassName(className)
                               : _platform.store && _platform.store->containsClassName(className);
    }
    void openEntries();
    void findDuplicates();
    void findSplitPackages();
    void findMissing();
    void emit(const nlohmann::ordered_json& json, const std::string& text);

    const CheckOptions& _options;
    std::vector<std::regex> _ignore;
    std::vector<std::unique_ptr<DepsEntry>> _entries;
    // Each class, with the entries that hold it in class-path order.
    std::map<std::string, std::vector<size_t>> _classes;
    DepsPlatform _platform;
    size_t _found = 0;
    bool _failed = false;
    std::string _out;
};

void CheckRun::emit(const nlohmann::ordered_json& json, const std::string& text) {
    ++_found;
    if (_options.format == "json")
        _out.append(json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
            .push_back('\n');
    else
        _out.append(text);
}

void CheckRun::openEntries() {
    // One library for the whole path, so that manifest Class-Path entries and DIR/* come
    // in where java would put them, and a jar named twice (or in a loop) counts once.
    auto library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions archiveOptions;
    archiveOptions.followManifestClassPath = true;
    archiveOptions.expandWildcards = true;
    // An application is checked as its loader reads it: nested entries, and the layouts of
    // executable jars, WARs and EARs.
    archiveOptions.nestedEntries = true;
    archiveOptions.layout = VQArchiveLayout::automatic;
    archiveOptions.onMissingClassPathEntry = [this](const std::string& jar,
                                                    const std::string& missing) {
        reportFailure(missing, "named by the Class-Path of " + jar + ", but not there");
        _failed = true;
    };
    library->setArchiveOptions(std::move(archiveOptions));
    for (const std::string& path : _options.paths)
        for (const std::string& entry : splitClassPath(path)) {
            if (entry.empty()) continue;
            library->appendToClassPath(entry,
                                       [this](const std::string& name, const std::exception& e) {
                                           reportFailure(name, e.what());
                                           _failed = true;
                                       });
        }
    for (const auto& store : library->classStores()) {
        auto entry = std::make_unique<DepsEntry>();
        entry->path = store->name();
        entry->name = store->name();
        entry->library = library;
        entry->store = store.get();
        try {
            entry->classNames = classNamesOfStore(*store);
        } catch (const std::exception& e) {
            reportFailure(store->name(), e.what());
            _failed = true;
            continue;
        }
        entry->classSet.insert(entry->classNames.begin(), entry->classNames.end());
        for (const std::string& name : entry->classNames) _classes[name].push_back(_entries.size());
        _entries.push_back(std::move(entry));
    }
}

void CheckRun::findDuplicates() {
    for (const auto& [name, holders] : _classes) {
        if (holders.size() < 2 || ignored(name)) continue;
        const auto first = _entries[holders[0]]->store->dataForClassName(name);
        std::vector<Copy> copies;
        bool differ = false;
        for (size_t i = 1; i < holders.size(); ++i) {
            const auto data = _entries[holders[i]]->store->dataForClassName(name);
            const bool same =
                first && data && first->length() == data->length() &&
                std::equal(first->span().begin(), first->span().end(), data->span().begin());
            differ = differ || !same;
            copies.push_back({holders[i], same});
        }
        nlohmann::ordered_json json;
        json["kind"] = "duplicate";
        json["class"] = name;
        json["identical"] = !differ;
        json["wins"] = _entries[holders[0]]->path;
        auto& entries = json["entries"] = nlohmann::ordered_json::array();
        entries.push_back({{"entry", _entries[holders[0]]->path}, {"wins", true}});
        std::string text = "duplicate class " + name + (differ ? " (copies differ)" : "") +
                           ":\n   " + _entries[holders[0]]->path + " (wins)\n";
        for (const Copy& copy : copies) {
            entries.push_back({{"entry", _entries[copy.entry]->path},
                               {"wins", false},
                               {"identical", copy.identical}});
            text += "   " + _entries[copy.entry]->path +
                    (copy.identical ? " (identical)\n" : " (differs)\n");
        }
        emit(json, text);
    }
}

void CheckRun::findSplitPackages() {
    std::map<std::string, std::vector<size_t>> packages;
    for (size_t i = 0; i < _entries.size(); ++i) {
        std::string last;
        bool any = false;
        for (const std::string& name : _entries[i]->classNames) {
            const std::string package(VQPackageOfClassName(name));
            if (any && package == last) continue;
            any = true;
            last = package;
            auto& holders = packages[package];
            if (holders.empty() || holders.back() != i) holders.push_back(i);
        }
    }
    for (const auto& [package, holders] : packages) {
        if (ignored(package)) continue;
        const std::optional<std::string> module =
            package.empty() ? std::nullopt : platformModuleOfPackage(_platform, package);
        if (holders.size() < 2 && !module) continue;
        const std::string shown = package.empty() ? "<unnamed>" : package;
        nlohmann::ordered_json json;
        json["kind"] = "split";
        json["package"] = package;
        auto& entries = json["entries"] = nlohmann::ordered_json::array();
        std::string text = "split package " + shown + ":\n";
        if (module) {
            json["module"] = *module;
            text += "   " + *module + " (platform module)\n";
        }
        for (const size_t holder : holders) {
            entries.push_back(_entries[holder]->path);
            text += "   " + _entries[holder]->path + "\n";
        }
        emit(json, text);
    }
}

void CheckRun::findMissing() {
    std::map<std::string, std::set<std::string>> missing;
    VQDependencyScanner scanner;
    for (size_t i = 0; i < _entries.size(); ++i) {
        const DepsEntry& entry = *_entries[i];
        for (const std::string& className : entry.classNames) {
            // Only the copy that the class path loads counts.
            if (_classes[className].front() != i) continue;
            bool reported = false;
            const VQClassReferences* found = scanDepsClass(entry, className, scanner, reported);
            if (reported) _failed = true;
            if (!found) continue;
            for (const std::string& target : found->referencedClasses) {
                if (_classes.count(target) || onPlatform(target) || ignored(target)) continue;
                missing[target].insert(className);
            }
        }
    }
    for (const auto& [name, users] : missing) {
        nlohmann::ordered_json json;
        json["kind"] = "missing";
        json["class"] = name;
        json["referencedBy"] = std::vector<std::string>(users.begin(), users.end());
        std::string text = "missing class " + name + ", referenced by:\n";
        for (const std::string& user : users) text += "   " + user + "\n";
        emit(json, text);
    }
}

int CheckRun::run() {
    try {
        for (const std::string& pattern : _options.ignore) _ignore.emplace_back(pattern);
    } catch (const std::regex_error& e) {
        throw UsageError(std::string("check: bad --ignore pattern: ") + e.what());
    }
    _platform = openPlatform(_options.system);
    if (_platform.failed) _failed = true;
    openEntries();
    if (wanted(Finding::duplicates)) findDuplicates();
    if (wanted(Finding::split)) findSplitPackages();
    if (wanted(Finding::missing)) findMissing();
    std::fwrite(_out.data(), 1, _out.size(), stdout);
    return _found > 0 || _failed ? 1 : 0;
}

void addCheckCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Find duplicate classes, split packages and missing classes on a class path");
    command->add_option("CLASSPATH", options->paths,
                        "Class path entries, or paths of them separated by ';' or ':'");
    command->add_option("--system", options->system,
                        "The JDK whose modules supply the platform; none for no platform");
    command
        ->add_option("--ignore", options->ignore,
                     "Leave out classes and packages whose names match (repeatable)")
        ->allow_extra_args(false);
    command->add_option("--only", options->only, "Only duplicates, split or missing (repeatable)")
        ->allow_extra_args(false)
        ->check(CLI::IsMember({"duplicates", "split", "missing"}));
    command->add_option("--format", options->format, "text or json (one finding a line)")
        ->check(CLI::IsMember({"text", "json"}));
    command->callback([options, &runner] {
        if (options->paths.empty()) throw UsageError("check: no class path given");
        runner = [options] { return CheckRun(*options).run(); };
    });
}

}  // namespace

static bool registered = registerToolCommand({41, &addCheckCommand});

}  // namespace ornith::tool
