#pragma once
// The tool's commands over a whole class path, on several threads, with output that is
// byte for byte what one thread writes: the items (classes of a listing) are worked on by
// N workers, each with a class library of its own (VQClassPathScanner.h), and whatever an
// item writes to stdout or reports on stderr is kept with the item and written in item
// order, the two streams interleaved as they were written.
//
// Inside an item, write output through writeOutput() and failures through reportFailure()
// (both ToolReport.h): both go to the item's capture on a worker, straight out otherwise. The
// exit status is the items' answers taken in order, which does not depend on the order
// they finished in either.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ToolClassPath.h"

namespace ornith::tool {

// What -j asks for: 0 means every core.
unsigned jobsOrDefault(unsigned jobs);

// Runs work(worker library, index) for every index below count and returns true when
// every call did. With one job, every call runs here on `found` itself, in order, and
// writes straight out; with more, the calls run on that many workers, each with a library
// made like found.library (entries unusable on it were reported already and are not
// again), and their output comes out in index order. done(index) is called on this thread
// once item `index` has been written (for a progress line).
bool runItemsInOrder(ToolLibrary& found, size_t count, unsigned jobs,
                     const std::function<bool(ToolLibrary& library, size_t index)>& work,
                     const std::function<void(size_t index)>& done);

// Runs f(index) for every index below count on `jobs` threads (here, with one job);
// nothing is kept in order. The first exception f throws is rethrown once all stopped.
void runOnWorkers(size_t count, unsigned jobs, const std::function<void(size_t index)>& f);

// Runs f(0) here and f(1) .. f(threads - 1) on threads of their own (fewer when no more
// can be started), and returns once all have: the first exception any of them threw is
// rethrown then. Telling the others to stop is f's own business.
void runOnThreads(unsigned threads, const std::function<void(unsigned thread)>& f);

// The stores of a class path's entries, made and indexed on `jobs` workers before the
// entries are added to a library one after another: while the object lives, the store
// registry hands the library these stores (each once) for the entries' names, with what
// their making logged or raised told again at that moment, so that the library, its
// reports and their order are what adding the entries alone gives. Wildcard entries
// and those that Class-Path manifests name are made when they are added, as ever.
// multiReleaseVersion: the library's, so that no store is indexed twice.
class PrebuiltStores {
public:
    PrebuiltStores(const std::vector<std::string>& entries, unsigned jobs, int multiReleaseVersion);
    ~PrebuiltStores();
    PrebuiltStores(const PrebuiltStores&) = delete;
    PrebuiltStores& operator=(const PrebuiltStores&) = delete;
};

}  // namespace ornith::tool
