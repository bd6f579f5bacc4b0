#pragma once
// What `deps` and `check` share: the class-path entries they read whole, every class of
// an entry, and the platform that supplies the JDK's own classes.
//
// An entry is opened once; a class that cannot be read is reported once, as
// "ornith: ENTRY: CLASS: REASON", and the rest of the entry is still read.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ToolJdk.h"

namespace ornith {
class VQClassLibrary;
class VQClassStore;
class VQRuntimeImageStore;
}  // namespace ornith

namespace ornith::tool {

struct DepsEntry {
    // As jdeps names it: a jar's or class file's file name, a directory's last component.
    std::string name;
    std::string path;                         // as given
    std::shared_ptr<VQClassLibrary> library;  // holds the store
    const VQClassStore* store = nullptr;
    // Every class the entry holds (module-info left out), dotted, sorted by bytes.
    std::vector<std::string> classNames;
    std::unordered_set<std::string> classSet;

    bool contains(const std::string& className) const {
        return classSet.find(className) != classSet.end();
    }
};

// The entry's name as jdeps gives it.
std::string entryDisplayName(std::string_view path);

// Opens one class-path entry (multi-release jars read for `release`, 0 for their base
// entries only) and lists its classes; null, reported as "ornith: PATH: REASON", when
// no store can be made for it.
std::unique_ptr<DepsEntry> openDepsEntry(const std::string& path, int release);

// The class names of a store, dotted and sorted; module-info classes left out.
std::vector<std::string> classNamesOfStore(const VQClassStore& store);

// The JDK's runtime image, as ToolJdk.h chooses the JDK; null (reported) when there is
// none, or when the platform is turned off (then not reported).
struct DepsPlatform {
    std::shared_ptr<VQClassLibrary> library;
    const VQRuntimeImageStore* image = nullptr;
    const VQClassStore* store = nullptr;  // the image, or the first jmod
    bool failed = false;                  // wanted, but not there (reported)
};
DepsPlatform openPlatform(const std::optional<std::string>& system);

// The packages that the platform's jdeps lists as internal to JDK 8 and removed since
// (its jdk.jdeps module's own list, read from the runtime image); empty when there is no
// such list.
std::unordered_set<std::string> removedJdkInternalPackages(const DepsPlatform& platform);

// The platform module that holds the package, when the platform has it.
std::optional<std::string> platformModuleOfPackage(const DepsPlatform& platform,
                                                   const std::string& packageName);

}  // namespace ornith::tool

namespace ornith {
class VQDependencyScanner;
struct VQClassReferences;
}  // namespace ornith

namespace ornith::tool {

// Scans every class of the entry in name order and hands each scan to `visit`. A class
// that cannot be read is reported and skipped; one that fails part way is reported and
// handed on with the references read before the fault. False when anything was reported.
template <class Visit>
bool scanDepsEntry(const DepsEntry& entry, VQDependencyScanner& scanner, Visit&& visit);

// One class of the entry: its scan, or null when its bytes could not be read (reported).
const VQClassReferences* scanDepsClass(const DepsEntry& entry, const std::string& className,
                                       VQDependencyScanner& scanner, bool& reported);

// What a worker of forEachClassOnWorkers reads through: an opening of the entry of its
// own (a store serves one thread at a time) and a scanner.
struct DepsWorker {
    const DepsEntry* entry = nullptr;
    std::unique_ptr<DepsEntry> owned;  // the worker's opening, when it has one
    std::unique_ptr<VQDependencyScanner> scanner;
};

// Runs work(worker, i) for every class i of entry.classNames on `jobs` workers and, on
// this thread and in class order, writes what the work for class i wrote and reported and
// calls deliver(i), as soon as every class before it is done: deliver runs while later
// classes are worked on, so work must not touch what deliver touches (the entry's own
// store excepted: only this thread's work goes through it). reopen() makes another
// worker's opening of the entry, on that worker's thread (it must be safe to call
// there), with what it logs or reports discarded; when it gives null, or an opening
// whose classes differ, that worker is left out. With one job everything is done here,
// in order, and written straight out.
void forEachClassOnWorkers(const DepsEntry& entry, unsigned jobs,
                           const std::function<std::unique_ptr<DepsEntry>()>& reopen,
                           const std::function<void(DepsWorker& worker, size_t i)>& work,
                           const std::function<void(size_t i)>& deliver);

template <class Visit>
bool scanDepsEntry(const DepsEntry& entry, VQDependencyScanner& scanner, Visit&& visit) {
    bool clean = true;
    for (const std::string& className : entry.classNames) {
        bool reported = false;
        if (const VQClassReferences* found = scanDepsClass(entry, className, scanner, reported))
            visit(className, *found);
        if (reported) clean = false;
    }
    return clean;
}

}  // namespace ornith::tool
