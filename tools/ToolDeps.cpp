#include "ToolDeps.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ToolArchiveOptions.h"
#include "ToolParallel.h"
#include "ToolReport.h"
#include "ornith/base/VQLog.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith::tool {

std::string entryDisplayName(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace {

// Packages nest no deeper than this: a directory tree that does (a loop of links, say)
// is cut there rather than followed for ever.
constexpr int kMaxPackageDepth = 200;

void collectClassNames(const VQClassStore& store, const std::string& package, int depth,
                       std::vector<std::string>& out) {
    if (depth > kMaxPackageDepth) return;
    const std::string prefix = package.empty() ? std::string() : package + ".";
    if (const auto classes = store.classNamesInPackage(std::string_view(package)))
        for (const std::string& name : *classes)
            if (name != "module-info") out.push_back(prefix + name);
    if (const auto packages = store.packageNamesInPackage(std::string_view(package)))
        for (const std::string& name : *packages)
            collectClassNames(store, prefix + name, depth + 1, out);
}

}  // namespace

std::vector<std::string> classNamesOfStore(const VQClassStore& store) {
    std::vector<std::string> names;
    collectClassNames(store, std::string(), 0, names);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::unique_ptr<DepsEntry> openDepsEntry(const std::string& path, int release) {
    auto entry = std::make_unique<DepsEntry>();
    entry->path = path;
    entry->name = entryDisplayName(path);
    entry->library = VQClassLibrary::classLibrary();
    VQClassLibraryArchiveOptions options;
    options.multiReleaseVersion = release;
    options.maxOpenArchives = kToolOpenArchives;
    // An input may name an archive inside another (app.jar!/BOOT-INF/lib/x.jar); an
    // archive given whole is analysed as it stands, as jdeps reads it.
    options.nestedEntries = true;
    entry->library->setArchiveOptions(std::move(options));
    bool reported = false;
    try {
        entry->library->appendToClassPath(
            path, [&](const std::string& name, const std::exception& failure) {
                reportFailure(name, failure.what());
                reported = true;
            });
    } catch (const std::exception& failure) {
        reportFailure(path, failure.what());
        return nullptr;
    }
    if (entry->library->classStores().empty()) {
        if (!reported) reportFailure(path, "not a directory, archive or class file");
        return nullptr;
    }
    entry->store = entry->library->classStores().front().get();
    try {
        entry->classNames = classNamesOfStore(*entry->store);
    } catch (const std::exception& failure) {
        reportFailure(path, failure.what());
        return nullptr;
    }
    entry->classSet.reserve(entry->classNames.size());
    entry->classSet.insert(entry->classNames.begin(), entry->classNames.end());
    return entry;
}

const VQClassReferences* scanDepsClass(const DepsEntry& entry, const std::string& className,
                                       VQDependencyScanner& scanner, bool& reported) {
    std::shared_ptr<const VQByteBuffer> data;
    try {
        data = entry.store->dataForClassName(className);
    } catch (const std::exception& failure) {
        reportFailure(entry.path + ": " + className, failure.what());
        reported = true;
        return nullptr;
    }
    if (!data) {
        reportFailure(entry.path + ": " + className, "cannot be read");
        reported = true;
        return nullptr;
    }
    const VQClassReferences& found = scanner.scanClassData(data->span());
    if (found.failure) {
        reportFailure(entry.path + ": " + className,
                      *found.failure + " (only the references read before it are counted)");
        reported = true;
    }
    return &found;
}

DepsPlatform openPlatform(const std::optional<std::string>& system) {
    DepsPlatform platform;
    const JdkChoice jdk = chooseJdk(system, false);
    if (jdk.source == JdkChoice::Source::disabled) return platform;
    if (jdk.home.empty()) {
        reportFailure("JDK", "none found (give --system JDK, or set JAVA_HOME)");
        platform.failed = true;
        return platform;
    }
    const auto entries = VQClassLibrary::platformEntriesForJavaHome(jdk.home);
    if (entries.empty()) {
        reportFailure(jdk.home, "no runtime image (lib/modules) and no jmods");
        platform.failed = true;
        return platform;
    }
    std::string path;
    for (const std::string& entry : entries) path.append(path.empty() ? "" : ";").append(entry);
    platform.library = VQClassLibrary::classLibraryWithClassPath(
        path, [&](const std::string& name, const std::exception& failure) {
            reportFailure(name, failure.what());
            platform.failed = true;
        });
    if (!platform.library->classStores().empty()) {
        platform.store = platform.library->classStores().front().get();
        platform.image = dynamic_cast<const VQRuntimeImageStore*>(platform.store);
    }
    return platform;
}

std::optional<std::string> platformModuleOfPackage(const DepsPlatform& platform,
                                                   const std::string& packageName) {
    if (!platform.image) return std::nullopt;
    return platform.image->moduleNameForPackageName(packageName);
}

std::unordered_set<std::string> removedJdkInternalPackages(const DepsPlatform& platform) {
    std::unordered_set<std::string> packages;
    if (!platform.image) return packages;
    const auto list = platform.image->dataForResourceName(
        "/jdk.jdeps/com/sun/tools/jdeps/resources/jdk8_internals.txt");
    if (!list) return packages;
    // One package a line; a line that starts with '#' is a comment. Lines are taken as
    // they stand, as jdeps takes them.
    std::string_view text(reinterpret_cast<const char*>(list->bytes()), list->length());
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        if (!line.starts_with('#')) packages.emplace(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    }
    return packages;
}

void forEachClassOnWorkers(const DepsEntry& entry, unsigned jobs,
                           const std::function<std::unique_ptr<DepsEntry>()>& reopen,
                           const std::function<void(DepsWorker& worker, size_t i)>& work,
                           const std::function<void(size_t i)>& deliver) {
    // Classes go to the workers in runs, so that a worker reads an archive in its order.
    constexpr size_t kRun = 64;
    const size_t count = entry.classNames.size();
    const size_t runs = (count + kRun - 1) / kRun;
    DepsWorker here;
    here.entry = &entry;
    here.scanner = std::make_unique<VQDependencyScanner>();
    const auto serially = [&](size_t first, size_t last) {
        for (size_t i = first; i < last; ++i) {
            work(here, i);
            deliver(i);
        }
    };
    if (jobsOrDefault(jobs) < 2 || runs < 2) {
        serially(0, count);
        return;
    }
    const unsigned workers = static_cast<unsigned>(std::min<size_t>(jobsOrDefault(jobs), runs));
    std::vector<CapturedOutput> outputs(runs);
    std::mutex mutex;
    std::vector<char> finished(runs, 0);  // under the mutex
    size_t ready = 0;                     // under the mutex: the runs before it are finished
    size_t delivered = 0;                 // the runs handed on, on this thread
    std::atomic<size_t> next{0};
    const auto runOne = [&](DepsWorker& worker, size_t run) {
        {
            const OutputCapture capture(outputs[run]);
            for (size_t i = run * kRun; i < std::min(count, (run + 1) * kRun); ++i) work(worker, i);
        }
        const std::lock_guard lock(mutex);
        finished[run] = 1;
        while (ready < runs && finished[ready]) ++ready;
    };
    const auto deliverUpTo = [&](size_t end) {
        for (; delivered < end; ++delivered) {
            const size_t first = delivered * kRun, last = std::min(count, (delivered + 1) * kRun);
            outputs[delivered].writeOut();
            outputs[delivered] = CapturedOutput();
            for (size_t i = first; i < last; ++i) deliver(i);
        }
    };
    // Each other worker makes an opening of its own on its own thread, beside the work
    // (an archive's index each), with what that logs or reports discarded: it was said
    // when the entry was first opened. One that cannot be made, or that lists other
    // classes, leaves its worker out. The entry's own opening stays on this thread, which
    // hands on what is finished between its runs, so that deliver never meets a worker
    // on the entry's store.
    runOnThreads(workers, [&](unsigned thread) {
        try {
            if (thread == 0) {
                for (size_t run; (run = next.fetch_add(1)) < runs;) {
                    runOne(here, run);
                    size_t upTo = 0;
                    {
                        const std::lock_guard lock(mutex);
                        upTo = ready;
                    }
                    deliverUpTo(upTo);
                }
                return;
            }
            DepsWorker mine;
            {
                CapturedOutput discarded;
                const OutputCapture capture(discarded);
                const VQLogMute mute;
                mine.owned = reopen();
            }
            if (!mine.owned || mine.owned->classNames != entry.classNames) return;
            mine.entry = mine.owned.get();
            mine.scanner = std::make_unique<VQDependencyScanner>();
            for (size_t run; (run = next.fetch_add(1)) < runs;) runOne(mine, run);
        } catch (...) {
            next = runs;
            throw;
        }
    });
    deliverUpTo(runs);
}

}  // namespace ornith::tool
