#include "ToolListing.h"

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ToolParallel.h"
#include "ToolProgress.h"
#include "ornith/base/VQLog.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQClassPathScanner.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/stores/VQFileSystemStore.h"

namespace ornith::tool {

namespace {

// Enough packages that two workers finish near together whatever their sizes.
constexpr size_t kPackagesPerWorker = 8;
// A deep chain of lone packages (com.example.app...) is followed this far, no further.
constexpr size_t kMostPackagesOpened = 256;

void addEveryName(const VQJavaPackage& package, SortedClassNames& names, ProgressLine* progress) {
    const auto enumerator = package.classNameEnumerator();
    for (const std::string& name : *enumerator) {
        names.add(name);
        if (progress) progress->step(name, names.size());
    }
}

// A walk of directories is its system calls, which two threads make in little more than
// half the time; a walk of archives reads indexes that a second library would build
// again, so only class paths of directories alone are walked on several threads.
bool onlyDirectories(const VQClassLibrary& library) {
    for (const auto& store : library.classStores())
        if (!dynamic_cast<const VQFileSystemStore*>(store.get())) return false;
    return !library.classStores().empty();
}

SortedClassNames walkOnWorkers(const VQJavaPackage& package, unsigned jobs) {
    SortedClassNames names;
    VQClassLibrary& library = *package.classLibrary();
    const auto qualified = [](const std::string& name, const std::string& bare) {
        return name.empty() ? bare : stringByAppendingJavaComponent(name, bare);
    };
    // The packages the workers walk whole: those below this one, opened level by level
    // here (their own classes listed here) until there are enough to share out.
    std::deque<std::string> open{package.packageName()};
    size_t opened = 0;
    while (!open.empty() && open.size() < kPackagesPerWorker * jobs &&
           opened < kMostPackagesOpened) {
        const std::string name = std::move(open.front());
        open.pop_front();
        ++opened;
        for (const std::string& bare : library.classNamesInPackage(name))
            names.add(qualified(name, bare));
        for (const std::string& bare : library.packageNamesInPackage(name)) {
            // An empty component names the package itself: walking it would not end.
            if (bare.empty()) continue;
            open.push_back(qualified(name, bare));
        }
    }
    const std::vector<std::string> walked(open.begin(), open.end());
    std::vector<SortedClassNames> found(walked.size());
    const VQClassPathScanner recipe(library);
    std::atomic<size_t> next{0};
    runOnThreads(jobs, [&](unsigned thread) {
        // This thread goes on with the library it has; each other one makes its own, where
        // what making it could say, this one has said.
        std::shared_ptr<VQClassLibrary> mine = package.classLibrary();
        if (thread != 0) {
            const VQLogMute mute;
            mine = recipe.newLibrary();
        }
        for (size_t i; (i = next.fetch_add(1)) < walked.size();)
            if (const auto below = mine->packageWithName(std::string_view(walked[i])))
                addEveryName(*below, found[i], nullptr);
    });
    for (SortedClassNames& part : found)
        for (size_t i = 0; i < part.size(); ++i) names.add(part[i]);
    return names;
}

}  // namespace

SortedClassNames sortedClassNamesBelow(const VQJavaPackage& package, unsigned jobs) {
    SortedClassNames names;
    if (jobsOrDefault(jobs) > 1 && onlyDirectories(*package.classLibrary())) {
        names = walkOnWorkers(package, jobsOrDefault(jobs));
    } else {
        ProgressLine progress("listing");
        addEveryName(package, names, &progress);
    }
    names.sort();
    return names;
}

}  // namespace ornith::tool
