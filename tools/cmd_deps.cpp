// `ornith deps PATH...`: the classes, packages and archives each input depends on, printed
// as jdeps prints them (-s, the package level by default, -verbose:class, -v), with the
// options of jdeps that choose and filter what is shown.
//
// Each input (a jar, a directory or a class file) is an archive; a referenced class is
// found, as jdeps finds it, in the referencing archive itself, then in another input,
// then in the platform module that holds its package (a package of the platform is never
// looked for elsewhere), then on the class path (-cp); otherwise it is "not found", or,
// when its package is one the platform's jdeps lists as an internal package of JDK 8 that
// later releases removed, "JDK removed internal API".
//
// The module listings (--print-module-deps, --list-deps, --list-reduced-deps) read each
// class-path archive that the inputs reach whole, and that archive's reach in turn; a
// class not found is an error there, listed class by class, unless --ignore-missing-deps.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolDeps.h"
#include "ToolOptions.h"
#include "ToolParallel.h"
#include "ToolReport.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith::tool {

namespace {

enum class Level { summary, package, klass, verbose };

struct DepsOptions {
    std::vector<std::string> paths;
    std::optional<std::string> classPath;
    std::optional<std::string> system;
    std::optional<int> multiRelease;
    bool summary = false;
    bool verbose = false;
    bool verbosePackage = false;
    bool verboseClass = false;
    bool recursive = false;
    bool jdkInternals = false;
    bool filterPackage = false;
    bool filterArchive = false;
    bool filterNone = false;
    bool printModuleDeps = false;
    bool listDeps = false;
    bool listReducedDeps = false;
    bool ignoreMissingDeps = false;
    std::optional<std::string> regex;
    std::vector<std::string> packages;
    std::optional<std::string> filterPattern;
    std::string format = "text";
    ClassPathOptions jobs;  // for -j alone
};

// An archive as jdeps knows it: an input, a class-path entry, a platform module, or one of
// the two that stand for a class not found (of them, the removed internal API of JDK 8
// counts as the JDK's own, and as not exported).
struct Archive {
    std::string name;
    std::string pathName;
    std::optional<std::string> module;  // a platform module
    const DepsEntry* entry = nullptr;
    bool notFound = false;
};

struct Dep {
    std::string origin;
    std::string target;
    size_t targetArchive;
    bool operator<(const Dep& other) const {
        return std::tie(origin, target, targetArchive) <
               std::tie(other.origin, other.target, other.targetArchive);
    }
};

class DepsRun {
public:
    explicit DepsRun(const DepsOptions& options) : _options(options) {}
    int run();

private:
    // --print-module-deps, --list-deps and --list-reduced-deps: the modules (and JDK
    // internal packages) that the inputs and the class-path archives they reach need.
    bool listsModules() const {
        return _options.printModuleDeps || _options.listDeps || _options.listReducedDeps;
    }
    Level level() const {
        if (listsModules()) return Level::package;
        if (_options.summary) return Level::summary;
        if (_options.jdkInternals) return Level::klass;
        if (_options.verbose) return Level::verbose;
        if (_options.verboseClass) return Level::klass;
        return Level::package;
    }
    size_t archiveOfClass(size_t source, const std::string& className);
    size_t moduleArchive(const std::string& module);
    bool isJdkModule(const std::string& module) const {
        return module.rfind("java.", 0) == 0 || module.rfind("jdk.", 0) == 0;
    }
    bool acceptsClassEdge(const std::string& origin, const std::string& target) const;
    bool acceptsArchiveEdge(size_t source, const std::string& target, size_t targetArchive);
    std::string locationName(const std::string& className) const;
    std::string tagOf(size_t source, const std::string& target, size_t targetArchive);
    void record(size_t source, const std::string& className, const VQClassReferences& found);
    void analyze(size_t source, VQDependencyScanner& scanner);
    void analyzeReached(VQDependencyScanner& scanner);
    std::vector<std::string> neededModules();
    void printModules();
    void printText();
    void printJson();

    const DepsOptions& _options;
    std::vector<std::unique_ptr<DepsEntry>> _entries;
    std::vector<Archive> _archives;
    size_t _inputs = 0;        // archives [0, _inputs) are the inputs
    size_t _classPathEnd = 0;  // then the class path up to here
    size_t _notFound = 0;
    size_t _removedInternals = 0;
    // The packages of "JDK removed internal API": the list the platform's jdeps keeps
    // (empty when the platform has no jdk.jdeps module, or is not a runtime image).
    std::unordered_set<std::string> _removedPackages;
    std::map<std::string, size_t> _modules;
    std::unordered_map<std::string, size_t> _foundElsewhere;  // beyond the source archive
    std::unordered_map<std::string, std::optional<std::string>> _packageModules;
    DepsPlatform _platform;
    std::unique_ptr<VQDependencyResolver> _exports;
    std::optional<std::regex> _regex, _filter;
    std::vector<std::set<Dep>> _deps;
    std::vector<std::set<size_t>> _requires;
    std::vector<bool> _analyzed;
    // -R: class-path classes reached and those still to scan, with their archives.
    std::unordered_set<std::string> _reached;
    std::vector<std::pair<size_t, std::string>> _pending;
    // The module listings read whole every class-path archive they reach, and name the
    // classes that were not found, class by class.
    std::vector<size_t> _pendingArchives;
    std::vector<bool> _queued;
    // Each source's uses of classes not found: origin, target and the target's archive.
    std::map<size_t, std::set<std::tuple<std::string, std::string, size_t>>> _missing;
    // Leave out dependencies within a package, within an archive.
    bool _samePackage = true;
    bool _sameArchive = false;
    bool _failed = false;
};

// Java's String.format("%-50s"): at least 50 characters, padded on the right.
void appendPadded(std::string& out, const std::string& text, size_t width) {
    out.append(text);
    if (text.size() < width) out.append(width - text.size(), ' ');
}

size_t DepsRun::moduleArchive(const std::string& module) {
    if (const auto found = _modules.find(module); found != _modules.end()) return found->second;
    Archive archive;
    archive.name = module;
    archive.pathName = module;
    archive.module = module;
    _archives.push_back(std::move(archive));
    _deps.emplace_back();
    _requires.emplace_back();
    _analyzed.push_back(false);
    _queued.push_back(false);
    return _modules[module] = _archives.size() - 1;
}

size_t DepsRun::archiveOfClass(size_t source, const std::string& className) {
    if (_archives[source].entry && _archives[source].entry->contains(className)) return source;
    if (const auto known = _foundElsewhere.find(className); known != _foundElsewhere.end())
        return known->second;
    size_t found = _notFound;
    bool resolved = false;
    const std::string package(VQPackageOfClassName(className));
    for (size_t i = 0; i < _inputs && !resolved; ++i)
        if (_archives[i].entry->contains(className)) found = i, resolved = true;
    if (!resolved) {
        auto module = _packageModules.find(package);
        if (module == _packageModules.end())
            module =
                _packageModules.emplace(package, platformModuleOfPackage(_platform, package)).first;
        if (module->second) {
            if (_platform.image->containsClassName(className))
                found = moduleArchive(*module->second);
            resolved = true;
        }
    }
    for (size_t i = _inputs; i < _classPathEnd && !resolved; ++i)
        if (_archives[i].entry->contains(className)) found = i, resolved = true;
    if (!resolved && _removedPackages.count(package)) found = _removedInternals;
    _foundElsewhere.emplace(className, found);
    return found;
}

bool DepsRun::acceptsClassEdge(const std::string& origin, const std::string& target) const {
    if (origin == target) return false;
    const std::string_view package = VQPackageOfClassName(target);
    if (_samePackage && VQPackageOfClassName(origin) == package) return false;
    if (_filter && std::regex_match(package.begin(), package.end(), *_filter)) return false;
    if (_regex || !_options.packages.empty()) {
        bool accepted = false;
        if (_regex && std::regex_match(target, *_regex)) accepted = true;
        for (const std::string& name : _options.packages)
            if (package == name) accepted = true;
        return accepted;
    }
    return true;
}

bool DepsRun::acceptsArchiveEdge(size_t source, const std::string& target, size_t targetArchive) {
    if (_options.jdkInternals) {
        const Archive& archive = _archives[targetArchive];
        if (targetArchive == _removedInternals) return true;
        if (source == targetArchive || !archive.module) return false;
        if (*archive.module == "jdk.unsupported") return true;
        return isJdkModule(*archive.module) &&
               !_exports->isExported(*_platform.store, *archive.module,
                                     VQPackageOfClassName(target));
    }
    if (_sameArchive) return source != targetArchive;
    return true;
}

std::string DepsRun::locationName(const std::string& className) const {
    const Level l = level();
    if (l == Level::klass || l == Level::verbose) return className;
    const std::string_view package = VQPackageOfClassName(className);
    return package.empty() ? std::string("<unnamed>") : std::string(package);
}

std::string DepsRun::tagOf(size_t source, const std::string& target, size_t targetArchive) {
    const Archive& archive = _archives[targetArchive];
    if (source == targetArchive || !archive.module || archive.notFound) return archive.name;
    std::string package = target;
    if (level() == Level::klass || level() == Level::verbose)
        package = std::string(VQPackageOfClassName(target));
    const std::string& module = *archive.module;
    if (module != "jdk.unsupported" && _exports->isExported(*_platform.store, module, package))
        return module;
    if (isJdkModule(module)) return "JDK internal API (" + module + ")";
    return module + " (internal)";
}

void DepsRun::record(size_t source, const std::string& className, const VQClassReferences& found) {
    if (found.isModuleInfo) return;
    const std::string origin = locationName(className);
    // The references come sorted: at the package level a run of them names one package,
    // which needs one lookup in the set, not one each.
    const Dep* last = nullptr;
    for (const std::string& target : found.referencedClasses) {
        if (!acceptsClassEdge(className, target)) continue;
        const size_t targetArchive = archiveOfClass(source, target);
        // -R follows every class it reaches on the class path, class by class.
        const bool onClassPath = targetArchive >= _inputs && targetArchive < _classPathEnd;
        if (listsModules()) {
            if (onClassPath && !_queued[targetArchive]) {
                _queued[targetArchive] = true;
                _pendingArchives.push_back(targetArchive);
            }
            if (_archives[targetArchive].notFound && !_options.ignoreMissingDeps)
                _missing[source].emplace(className, target, targetArchive);
        } else if (_options.recursive && onClassPath && _reached.insert(target).second) {
            _pending.emplace_back(targetArchive, target);
        }
        if (!acceptsArchiveEdge(source, target, targetArchive)) continue;
        std::string targetName = locationName(target);
        if (!last || last->target != targetName || last->targetArchive != targetArchive) {
            last = &*_deps[source].insert(Dep{origin, std::move(targetName), targetArchive}).first;
            if (targetArchive != source) _requires[source].insert(targetArchive);
        }
    }
}

void DepsRun::analyze(size_t source, VQDependencyScanner& scanner) {
    _analyzed[source] = true;
    const DepsEntry& entry = *_archives[source].entry;
    if (jobsOrDefault(_options.jobs.jobs) > 1) {
        // The scans on the workers, what they found taken in class order here.
        struct Scan {
            bool read = false, reported = false, isModuleInfo = false;
            std::vector<std::string> references;
        };
        std::vector<Scan> scans(entry.classNames.size());
        const int release = _options.multiRelease.value_or(0);
        forEachClassOnWorkers(
            entry, _options.jobs.jobs, [&] { return openDepsEntry(entry.path, release); },
            [&](DepsWorker& worker, size_t i) {
                Scan& scan = scans[i];
                if (const VQClassReferences* found = scanDepsClass(
                        *worker.entry, entry.classNames[i], *worker.scanner, scan.reported)) {
                    scan.read = true;
                    scan.isModuleInfo = found->isModuleInfo;
                    scan.references.assign(found->referencedClasses.begin(),
                                           found->referencedClasses.end());
                }
            },
            [&](size_t i) {
                Scan scan = std::move(scans[i]);
                if (scan.reported) _failed = true;
                if (!scan.read) return;
                VQClassReferences found;
                found.isModuleInfo = scan.isModuleInfo;
                found.referencedClasses = scan.references;
                record(source, entry.classNames[i], found);
            });
        return;
    }
    const bool clean = scanDepsEntry(
        entry, scanner, [&](const std::string& className, const VQClassReferences& found) {
            record(source, className, found);
        });
    if (!clean) _failed = true;
}

void DepsRun::analyzeReached(VQDependencyScanner& scanner) {
    while (!_pending.empty()) {
        const auto [source, className] = _pending.back();
        _pending.pop_back();
        _analyzed[source] = true;
        bool reported = false;
        if (const VQClassReferences* found =
                scanDepsClass(*_archives[source].entry, className, scanner, reported))
            record(source, className, *found);
        if (reported) _failed = true;
    }
}

// The modules the analysed archives use directly; reduced (--list-reduced-deps and
// --print-module-deps), less those that another of them already gives through
// `requires transitive`.
std::vector<std::string> DepsRun::neededModules() {
    std::set<std::string> direct;
    for (size_t source = 0; source < _classPathEnd; ++source)
        for (const size_t target : _requires[source])
            if (_archives[target].module) direct.insert(*_archives[target].module);
    const bool reduced = _options.listReducedDeps || _options.printModuleDeps;
    if (!reduced || !_platform.store) return std::vector<std::string>(direct.begin(), direct.end());
    // Which modules each module reaches by `requires transitive`, at any depth.
    std::map<std::string, std::set<std::string>> reaches;
    const auto reached = [&](const std::string& from) -> const std::set<std::string>& {
        auto known = reaches.find(from);
        if (known != reaches.end()) return known->second;
        std::set<std::string> seen;
        std::vector<std::string> stack{from};
        while (!stack.empty()) {
            const std::string module = std::move(stack.back());
            stack.pop_back();
            for (const std::string& next : _exports->transitiveRequires(*_platform.store, module))
                if (seen.insert(next).second) stack.push_back(next);
        }
        return reaches.emplace(from, std::move(seen)).first->second;
    };
    std::vector<std::string> kept;
    for (const std::string& module : direct) {
        bool implied = false;
        for (const std::string& other : direct)
            if (other != module && reached(other).count(module)) implied = true;
        if (!implied) kept.push_back(module);
    }
    return kept;
}

void DepsRun::printModules() {
    std::string out;
    if (!_missing.empty()) {
        // jdeps's own error, on standard output, and the classes it could not find.
        out.append(
            "Error: Missing dependencies: classes not found from the module path and "
            "classpath.\nTo suppress this error, use --ignore-missing-deps to continue.\n\n");
        std::vector<size_t> order;
        for (const auto& [source, missing] : _missing) order.push_back(source);
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return _archives[a].name < _archives[b].name; });
        for (const size_t source : order) {
            out.append(_archives[source].name).push_back('\n');
            for (const auto& [origin, target, archive] : _missing[source]) {
                out.append("   ");
                appendPadded(out, origin, 50);
                out.append(" -> ");
                appendPadded(out, target, 50);
                out.append(" ").append(_archives[archive].name).push_back('\n');
            }
        }
        _failed = true;
        std::fwrite(out.data(), 1, out.size(), stdout);
        return;
    }
    const std::vector<std::string> modules = neededModules();
    if (_options.printModuleDeps) {
        for (size_t i = 0; i < modules.size(); ++i) out.append(i ? "," : "").append(modules[i]);
        out.push_back('\n');
        std::fwrite(out.data(), 1, out.size(), stdout);
        return;
    }
    // A module whose internal packages are used is listed by those packages instead.
    std::map<std::string, std::set<std::string>> internals;
    for (size_t source = 0; source < _classPathEnd; ++source)
        for (const Dep& dep : _deps[source]) {
            const Archive& target = _archives[dep.targetArchive];
            if (dep.targetArchive == _removedInternals)
                internals[target.name].insert(dep.target);
            else if (target.module &&
                     !_exports->isExported(*_platform.store, *target.module, dep.target))
                internals[*target.module].insert(dep.target);
        }
    std::set<std::string> shown(modules.begin(), modules.end());
    for (const auto& [module, packages] : internals) shown.insert(module);
    for (const std::string& module : shown) {
        const auto used = internals.find(module);
        if (used == internals.end()) {
            out.append("   ").append(module).push_back('\n');
            continue;
        }
        for (const std::string& package : used->second)
            out.append("   ").append(module).append("/").append(package).push_back('\n');
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void DepsRun::printText() {
    std::vector<size_t> order;
    for (size_t i = 0; i < _archives.size(); ++i)
        if (_analyzed[i] && !_deps[i].empty()) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return _archives[a].name < _archives[b].name; });
    std::string out;
    for (const size_t source : order) {
        std::vector<size_t> needed(_requires[source].begin(), _requires[source].end());
        if (needed.empty()) needed.push_back(source);
        std::stable_sort(needed.begin(), needed.end(),
                         [&](size_t a, size_t b) { return _archives[a].name < _archives[b].name; });
        for (const size_t target : needed) {
            const Archive& archive = _archives[target];
            out.append(_archives[source].name)
                .append(" -> ")
                .append(archive.module ? *archive.module : archive.pathName)
                .push_back('\n');
        }
        if (level() == Level::summary) continue;
        for (const Dep& dep : _deps[source]) {
            out.append("   ");
            appendPadded(out, dep.origin, 50);
            out.append(" -> ");
            appendPadded(out, dep.target, 50);
            out.append(" ").append(tagOf(source, dep.target, dep.targetArchive)).push_back('\n');
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void DepsRun::printJson() {
    std::string out;
    for (size_t source = 0; source < _archives.size(); ++source) {
        if (!_analyzed[source]) continue;
        if (level() == Level::summary) {
            for (const size_t target : _requires[source]) {
                nlohmann::ordered_json line;
                line["origin"] = _archives[source].name;
                line["target"] = _archives[target].name;
                line["found"] = !_archives[target].notFound;
                if (_archives[target].module) line["module"] = *_archives[target].module;
                out.append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
                    .push_back('\n');
            }
            continue;
        }
        for (const Dep& dep : _deps[source]) {
            const Archive& target = _archives[dep.targetArchive];
            nlohmann::ordered_json line;
            line["origin"] = dep.origin;
            line["originArchive"] = _archives[source].name;
            line["target"] = dep.target;
            line["targetArchive"] = target.name;
            line["found"] = !target.notFound;
            if (target.module) line["module"] = *target.module;
            line["tag"] = tagOf(source, dep.target, dep.targetArchive);
            out.append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
                .push_back('\n');
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

int DepsRun::run() {
    try {
        if (_options.regex) _regex.emplace(*_options.regex);
        if (_options.filterPattern) _filter.emplace(*_options.filterPattern);
    } catch (const std::regex_error& e) {
        throw UsageError(std::string("deps: bad pattern: ") + e.what());
    }
    // jdeps's defaults, which -v and -R turn off and the -filter: options set.
    if (_options.verbose || _options.recursive) _samePackage = false;
    if (_options.filterPackage) _samePackage = true, _sameArchive = false;
    if (_options.filterArchive) _samePackage = false, _sameArchive = true;
    if (_options.filterNone) _samePackage = false, _sameArchive = false;
    if (listsModules()) _samePackage = true, _sameArchive = true;
    const int release = _options.multiRelease.value_or(0);
    for (const std::string& path : _options.paths) {
        if (auto entry = openDepsEntry(path, release)) {
            _entries.push_back(std::move(entry));
        } else {
            _failed = true;
        }
    }
    const size_t inputEntries = _entries.size();
    if (_options.classPath)
        for (const std::string& path : splitClassPath(*_options.classPath)) {
            if (path.empty()) continue;
            if (auto entry = openDepsEntry(path, release))
                _entries.push_back(std::move(entry));
            else
                _failed = true;
        }
    for (size_t i = 0; i < _entries.size(); ++i) {
        Archive archive;
        archive.name = _entries[i]->name;
        archive.pathName = _entries[i]->path;
        archive.entry = _entries[i].get();
        _archives.push_back(std::move(archive));
    }
    _inputs = inputEntries;
    _classPathEnd = _archives.size();
    Archive notFound;
    notFound.name = notFound.pathName = "not found";
    notFound.notFound = true;
    _archives.push_back(std::move(notFound));
    _notFound = _archives.size() - 1;
    Archive removed;
    removed.name = removed.pathName = "JDK removed internal API";
    removed.notFound = true;
    _archives.push_back(std::move(removed));
    _removedInternals = _archives.size() - 1;
    _deps.resize(_archives.size());
    _requires.resize(_archives.size());
    _analyzed.assign(_archives.size(), false);
    _queued.assign(_archives.size(), false);

    _platform = openPlatform(_options.system);
    if (_platform.failed) _failed = true;
    _removedPackages = removedJdkInternalPackages(_platform);
    _exports = std::make_unique<VQDependencyResolver>(_platform.library);

    VQDependencyScanner scanner;
    for (size_t i = 0; i < _inputs; ++i) analyze(i, scanner);
    analyzeReached(scanner);
    while (!_pendingArchives.empty()) {
        const size_t next = _pendingArchives.back();
        _pendingArchives.pop_back();
        analyze(next, scanner);
    }
    if (listsModules())
        printModules();
    else if (_options.format == "json")
        printJson();
    else
        printText();
    return _failed ? 1 : 0;
}

void addDepsCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<DepsOptions>();
    CLI::App* command = app.add_subcommand(
        "deps", "Print the dependencies of classes, packages and archives, as jdeps does");
    command->add_option("PATH", options->paths, "A jar, a directory of classes or a class file");
    command->add_option("--class-path,--cp", options->classPath,
                        "Where referenced classes are looked for (also -cp, -classpath)");
    command->add_option("--system", options->system,
                        "The JDK whose modules supply the platform; none for no platform");
    command
        ->add_option("--multi-release", options->multiRelease,
                     "The release whose classes a multi-release jar gives")
        ->check(CLI::Range(9, 1000));
    command->add_flag("-s,--summary", options->summary, "Only the archives (also -summary)");
    command->add_flag("-v,--verbose-all", options->verbose,
                      "Every class-level dependency (also -verbose)");
    command->add_flag("--verbose-package", options->verbosePackage,
                      "Package-level dependencies, the default (also -verbose:package)");
    command->add_flag("--verbose-class", options->verboseClass,
                      "Class-level dependencies outside the package (also -verbose:class)");
    command->add_flag("-R,--recursive", options->recursive,
                      "Also the class-path archives the inputs need, and theirs");
    command->add_option("-e,--regex", options->regex,
                        "Only dependencies on classes that match (also -regex)");
    command
        ->add_option("-p,--package", options->packages,
                     "Only dependencies on the package (also -package; repeatable)")
        ->allow_extra_args(false);
    command->add_option("-f,--filter", options->filterPattern,
                        "Leave out dependencies on packages that match (also -filter)");
    command->add_flag("--filter-package", options->filterPackage,
                      "Leave out dependencies within a package, the default (also "
                      "-filter:package)");
    command->add_flag("--filter-archive,--filter-module", options->filterArchive,
                      "Leave out dependencies within an archive (also -filter:archive, "
                      "-filter:module)");
    command->add_flag("--filter-none", options->filterNone,
                      "Leave out nothing (also -filter:none)");
    command->add_flag("--jdk-internals", options->jdkInternals,
                      "Only uses of the JDK's internal APIs (also -jdkinternals)");
    command->add_flag("--print-module-deps", options->printModuleDeps,
                      "Only the platform modules needed, comma-separated, as --add-modules takes "
                      "them (reduced, as --list-reduced-deps)");
    command->add_flag("--list-deps", options->listDeps,
                      "The platform modules needed, one a line, a module's internal packages "
                      "in its place");
    command->add_flag("--list-reduced-deps", options->listReducedDeps,
                      "As --list-deps, less the modules that another one gives by requires "
                      "transitive");
    command->add_flag("--ignore-missing-deps", options->ignoreMissingDeps,
                      "List the modules even when some classes are not found");
    addJobsOption(command, options->jobs);
    command->add_option("--format", options->format, "text (jdeps's) or json (one edge a line)")
        ->check(CLI::IsMember({"text", "json"}));
    command->callback([options, &runner] {
        if (options->paths.empty()) throw UsageError("deps: no input given");
        if (options->summary && (options->verbose || options->verboseClass))
            throw UsageError("deps: -s cannot be given with -v or -verbose");
        if (options->jdkInternals &&
            (options->summary || options->verbose || options->verboseClass || options->regex ||
             !options->packages.empty()))
            throw UsageError("deps: -jdkinternals cannot be given with -s, -v, -e or -p");
        const int listings =
            options->printModuleDeps + options->listDeps + options->listReducedDeps;
        if (listings > 1)
            throw UsageError(
                "deps: only one of --print-module-deps, --list-deps and --list-reduced-deps");
        if (listings && (options->summary || options->verbose || options->verbosePackage ||
                         options->verboseClass || options->jdkInternals))
            throw UsageError(
                "deps: a module listing cannot be given with -s, -v, -verbose or -jdkinternals");
        runner = [options] { return DepsRun(*options).run(); };
    });
}

}  // namespace

static bool registered = registerToolCommand({40, &addDepsCommand});

}  // namespace ornith::tool
