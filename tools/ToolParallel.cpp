#include "ToolParallel.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "ToolHeap.h"
#include "ToolReport.h"
#include "ornith/base/VQLog.h"
#include "ornith/base/VQThreadStart.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQClassPathScanner.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQZipFileStore.h"

namespace ornith::tool {

namespace {

constexpr size_t kKeptCaptureCapacity = size_t{1} << 20;

struct ItemResult {
    CapturedOutput output;
    bool ok = true;
};

// A store made ahead, as the registry made it: the store (or null), or what making it
// raised, and what was logged meanwhile.
struct Prebuilt {
    std::shared_ptr<VQClassStore> store;
    std::exception_ptr failure;
    std::vector<std::string> logged;
};

// By entry name, oldest first: an entry named twice has a store for each time. Touched
// only on the main thread, and only while no worker runs.
std::map<std::string, std::deque<Prebuilt>>& prebuiltStores() {
    static std::map<std::string, std::deque<Prebuilt>> stores;
    return stores;
}

bool canGrokPrebuilt(const std::string& name) {
    const auto& stores = prebuiltStores();
    return stores.find(name) != stores.end();
}

std::shared_ptr<VQClassStore> takePrebuilt(const std::string& name) {
    auto& stores = prebuiltStores();
    const auto it = stores.find(name);
    Prebuilt prebuilt = std::move(it->second.front());
    it->second.pop_front();
    if (it->second.empty()) stores.erase(it);
    for (const std::string& line : prebuilt.logged) VQLog(line);
    if (prebuilt.failure) std::rethrow_exception(prebuilt.failure);
    return prebuilt.store;
}

// Asked before the library's own kinds (the registry asks the newest first), and only
// for the names it holds.
const VQClassStoreKind kPrebuiltKind = {"prebuilt", &canGrokPrebuilt, &takePrebuilt};

bool isWildcard(const std::string& entry) {
    return entry == "*" || entry.ends_with("/*");
}

}  // namespace

void runOnThreads(unsigned threads, const std::function<void(unsigned thread)>& f) {
    std::mutex mutex;
    std::exception_ptr failure;
    auto run = [&](unsigned thread) {
        try {
            growThreadHeapInHugePages();
            f(thread);
        } catch (...) {
            const std::lock_guard lock(mutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> started;
    started.reserve(threads > 0 ? threads - 1 : 0);
    try {
        for (unsigned i = 1; i < threads; ++i)
            started.push_back(VQStartThread([&run, i] { run(i); }));
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those there are share the work.
    }
    run(0);
    for (std::thread& thread : started) thread.join();
    if (failure) std::rethrow_exception(failure);
}

void runOnWorkers(size_t count, unsigned jobs, const std::function<void(size_t index)>& f) {
    jobs = static_cast<unsigned>(std::min<size_t>(jobsOrDefault(jobs), count));
    if (jobs <= 1) {
        for (size_t i = 0; i < count; ++i) f(i);
        return;
    }
    std::atomic<size_t> next{0};
    runOnThreads(jobs, [&](unsigned) {
        try {
            for (size_t i; (i = next.fetch_add(1)) < count;) f(i);
        } catch (...) {
            next = count;
            throw;
        }
    });
}

PrebuiltStores::PrebuiltStores(const std::vector<std::string>& entries, unsigned jobs,
                               int multiReleaseVersion) {
    std::vector<std::string> names;
    for (const std::string& entry : entries) {
        if (entry.empty()) continue;
        std::string name = stringByExpandingEnvironmentVariables(entry);
        if (!isWildcard(name)) names.push_back(std::move(name));
    }
    if (jobsOrDefault(jobs) < 2 || names.size() < 2) return;
    // Registered before any worker starts: the registry is read without locks.
    VQClassStore::registerClassStore(&kPrebuiltKind);
    std::vector<Prebuilt> made(names.size());
    runOnWorkers(names.size(), jobs, [&](size_t i) {
        Prebuilt& prebuilt = made[i];
        const LibraryLogCapture capture;
        try {
            prebuilt.store = VQClassStore::classStoreForName(names[i]);
            // What the library's first questions would read: the index, for the release
            // it reads, and the manifest.
            if (auto* zip = dynamic_cast<VQZipFileStore*>(prebuilt.store.get())) {
                zip->setOptions({multiReleaseVersion, nullptr});
                zip->containsPackageName("");
                zip->manifestClassPath();
            }
        } catch (...) {
            prebuilt.failure = std::current_exception();
        }
        prebuilt.logged = capture.lines();
    });
    auto& stores = prebuiltStores();
    for (size_t i = 0; i < names.size(); ++i) stores[names[i]].push_back(std::move(made[i]));
}

PrebuiltStores::~PrebuiltStores() {
    prebuiltStores().clear();
}

unsigned jobsOrDefault(unsigned jobs) {
    return jobs ? jobs : VQClassPathScanner::hardwareThreads();
}

bool runItemsInOrder(ToolLibrary& found, size_t count, unsigned jobs,
                     const std::function<bool(ToolLibrary& library, size_t index)>& work,
                     const std::function<void(size_t index)>& done) {
    jobs = jobsOrDefault(jobs);
    bool ok = true;
    if (jobs == 1 || count < 2) {
        for (size_t i = 0; i < count; ++i) {
            if (!work(found, i)) ok = false;
            done(i);
        }
        return ok;
    }
    const VQClassPathScanner scanner(*found.library);
    // A worker's view of the class path: every entry is on its library already, and what
    // was wrong with an entry has been said. Each is touched by its own worker only.
    std::vector<ToolLibrary> workers(jobs);
    for (ToolLibrary& worker : workers) worker.reportedEntries = found.reportedEntries;
    // Captures written out go back to be filled again: a fresh one for every item grew
    // by doubling, in one thread's heap and freed in another's, at a cost near the
    // output's making.
    std::mutex spareMutex;
    std::vector<CapturedOutput> spare;
    scanner.scan<ItemResult>(
        count, jobs,
        [&](VQClassLibrary& library, unsigned worker, size_t index) {
            growThreadHeapInHugePages();
            ToolLibrary& mine = workers[worker];
            if (!mine.library) mine.library = library.shared_from_this();
            ItemResult result;
            {
                const std::lock_guard lock(spareMutex);
                if (!spare.empty()) {
                    result.output = std::move(spare.back());
                    spare.pop_back();
                }
            }
            const OutputCapture capture(result.output);
            result.ok = work(mine, index);
            return result;
        },
        [&](size_t index, ItemResult result) {
            result.output.writeOut();
            if (!result.ok) ok = false;
            done(index);
            // One huge item's buffer is not kept for the rest of the scan.
            if (result.output.text.capacity() > kKeptCaptureCapacity) return;
            result.output.text.clear();
            result.output.pieces.clear();
            const std::lock_guard lock(spareMutex);
            spare.push_back(std::move(result.output));
        });
    return ok;
}

}  // namespace ornith::tool
