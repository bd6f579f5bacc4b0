#pragma once
// Scanning a class path on several threads: every class of a listing described, checked
// or inventoried, on every core, with the results handed back in the listing's order.
//
// The thread rules, and why the scanner is built as it is:
//
//   - A class library and everything it hands out (stores, packages, classes) is used
//     from one thread at a time. Stores are full of unsynchronised state even behind
//     their const operations: indexes built on the first question, the last package
//     looked up, the archive's open file and its inflate buffers, a runtime image's
//     package map, the open-archive bound shared by a library's stores. Locking all of
//     that would slow the one-thread case that most hosts have, so it is not done.
//   - So the scanner shares no library between threads. It keeps only a recipe (the
//     class path and the archive options of the library it was made from) and makes
//     each worker a library of its own from it, with stores, files and indexes of its
//     own. The original library is never touched by a scan, and the host may go on
//     using it on its own thread while one runs.
//   - What the workers do share is read-only for the whole scan: the recipe, the store
//     registry and the attribute registry (function-local statics: register store kinds
//     and attribute classes before scanning, never during). A parse takes this thread's
//     own spare parse context, so parses on several threads never meet.
//   - The log sink (VQSetLogSink) is called on whichever thread logs (a worker's store
//     that cannot read a member): a host sink must be safe to call from several threads.
//     The default sink writes each line with one stdio call, which is.
//   - The lexer is no part of a scan; separate lexers may run on separate threads (each
//     keeps its own caret line).
//
// A scan runs work(library, worker, index) for every index below count, each index once,
// on `threads` workers (worker is 0 .. threads-1, library is that worker's own; the
// calling thread is worker 0 between deliveries), and deliver(index, result) on the
// calling thread in index order: results are delivered as soon as every earlier one has
// been, and at most a few dozen per worker wait at a time, so a scan of a long listing
// holds only a window of its results. work must not touch what
// deliver touches without its own synchronisation; deliver may do anything the calling
// thread may (write output, keep totals, touch the original library).

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ornith/library/VQClassLibrary.h"

namespace ornith {

class VQClassPathScanner {
public:
    // The library's class path and its archive options as they are now (a handler for
    // missing Class-Path entries is not taken: the library's own has told them already).
    explicit VQClassPathScanner(const VQClassLibrary& library);
    VQClassPathScanner(std::optional<std::string> classPath, VQClassLibraryArchiveOptions options);

    // A library made from the recipe: stores of its own, entries dropped silently. Entries
    // are added on the calling thread (a store may log while it is made).
    std::shared_ptr<VQClassLibrary> newLibrary() const;

    // The number of threads the hardware runs at once; at least 1.
    static unsigned hardwareThreads() noexcept;

    // See the header's comment. threads 0 means hardwareThreads(). Each worker makes its
    // library on its own thread before its first item, with the log muted (VQLogMute):
    // what the stores would say the original library said. An exception thrown by work
    // stops the scan: every result before its index is delivered, the workers finish what
    // they hold, and the exception is rethrown here; one thrown by deliver is rethrown
    // after the workers stopped. Result must be default-constructible and movable.
    template <class Result, class Work, class Deliver>
    void scan(size_t count, unsigned threads, Work&& work, Deliver&& deliver) const {
        const size_t window = windowFor(threads);
        std::vector<Result> slots(window);
        run(
            count, threads,
            [&](VQClassLibrary& library, unsigned worker, size_t index) {
                slots[index % window] = work(library, worker, index);
            },
            [&](size_t index) {
                Result result = std::move(slots[index % window]);
                slots[index % window] = Result();
                deliver(index, std::move(result));
            });
    }

private:
    using RunWork = std::function<void(VQClassLibrary&, unsigned worker, size_t index)>;
    using RunDeliver = std::function<void(size_t index)>;
    // The results that may wait at once: a slot per index, reused every `window` indexes.
    static size_t windowFor(unsigned threads) noexcept;
    void run(size_t count, unsigned threads, const RunWork& work, const RunDeliver& deliver) const;

    std::optional<std::string> _classPath;
    VQClassLibraryArchiveOptions _options;
};

}  // namespace ornith
