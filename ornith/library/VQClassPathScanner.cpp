#include "ornith/library/VQClassPathScanner.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "ornith/base/VQLog.h"
#include "ornith/base/VQThreadStart.h"

namespace ornith {

namespace {

unsigned resolvedThreads(unsigned threads) noexcept {
    return threads ? threads : VQClassPathScanner::hardwareThreads();
}

}  // namespace

VQClassPathScanner::VQClassPathScanner(const VQClassLibrary& library)
    : VQClassPathScanner(library.classPath(), library.archiveOptions()) {}

VQClassPathScanner::VQClassPathScanner(std::optional<std::string> classPath,
                                       VQClassLibraryArchiveOptions options)
    : _classPath(std::move(classPath)), _options(std::move(options)) {
    // Reported by the original library; the workers' copies would tell it again, and
    // from threads the host did not expect to hear from.
    _options.onMissingClassPathEntry = nullptr;
}

std::shared_ptr<VQClassLibrary> VQClassPathScanner::newLibrary() const {
    auto library = VQClassLibrary::classLibrary();
    library->setArchiveOptions(_options);
    if (_classPath) library->appendToClassPath(*_classPath);
    return library;
}

unsigned VQClassPathScanner::hardwareThreads() noexcept {
    return std::max(1u, std::thread::hardware_concurrency());
}

size_t VQClassPathScanner::windowFor(unsigned threads) noexcept {
    // Enough that a worker rarely waits for a slow item ahead of it, few enough that the
    // waiting results of a long scan stay small.
    return size_t{resolvedThreads(threads)} * 32;
}

void VQClassPathScanner::run(size_t count, unsigned threads, const RunWork& work,
                             const RunDeliver& deliver) const {
    threads = resolvedThreads(threads);
    if (count == 0) return;
    const size_t window = windowFor(threads);
    // Indexes are handed out a few at a time, and the calling thread works as worker 0
    // between deliveries: a thread that only waited for results would be woken for each
    // one, and on a machine with no spare core each wake-up is a context switch that
    // costs as much as a small item's work.
    const size_t batch = std::max<size_t>(1, window / (size_t{threads} * 2));
    // Each worker makes its library on its own thread, where making one costs what the
    // original's first questions did (an archive's index), without a word: the original
    // told what there was to tell. Each slot is touched by its own worker only.
    std::vector<std::shared_ptr<VQClassLibrary>> libraries(threads);
    const auto libraryOf = [&](unsigned number) -> VQClassLibrary& {
        if (!libraries[number]) {
            const VQLogMute mute;
            libraries[number] = newLibrary();
        }
        return *libraries[number];
    };

    std::mutex mutex;
    std::condition_variable roomForWork;  // workers wait here for the window to move
    std::condition_variable resultReady;  // the calling thread waits here
    unsigned workersWaiting = 0;
    bool callerWaiting = false;
    std::vector<char> done(window, 0);  // by slot: the result waits to be delivered
    size_t next = 0;                    // the next index to hand out
    size_t delivered = 0;               // results delivered so far
    size_t stopAt = count;              // no index from here on is handed out
    std::exception_ptr workFailure;     // of the lowest failed index, stopAt
    unsigned running = threads - 1;     // worker threads not yet finished

    const auto canTake = [&] { return next < stopAt && next < delivered + window; };
    // Works on the next batch; called and returns with the lock held. The calling thread
    // takes one item at a time, so that what the others finished is written out soon and
    // they do not wait for room in the window.
    const auto workBatch = [&](std::unique_lock<std::mutex>& lock, unsigned number) {
        const size_t first = next;
        const size_t last =
            std::min({first + (number == 0 ? 1 : batch), stopAt, delivered + window});
        next = last;
        lock.unlock();
        size_t finished = first;
        std::exception_ptr failure;
        for (; finished < last; ++finished) {
            try {
                work(libraryOf(number), number, finished);
            } catch (...) {
                failure = std::current_exception();
                break;
            }
        }
        lock.lock();
        for (size_t index = first; index < finished; ++index) done[index % window] = 1;
        if (failure && finished < stopAt) {
            stopAt = finished;
            workFailure = failure;
        }
        // What was taken past a failure is never worked on: no one may wait for it.
        if (failure) roomForWork.notify_all();
        if (callerWaiting && (failure || (first <= delivered && delivered < finished)))
            resultReady.notify_one();
    };

    auto worker = [&](unsigned number) {
        std::unique_lock lock(mutex);
        for (;;) {
            if (next < stopAt && !canTake()) {
                ++workersWaiting;
                roomForWork.wait(lock, [&] { return next >= stopAt || canTake(); });
                --workersWaiting;
            }
            if (next >= stopAt) break;
            workBatch(lock, number);
        }
        if (--running == 0 && callerWaiting) resultReady.notify_one();
    };

    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    std::exception_ptr deliverFailure;
    try {
        for (unsigned i = 1; i < threads; ++i)
            pool.push_back(VQStartThread([&worker, i] { worker(i); }));
        std::unique_lock lock(mutex);
        while (delivered < stopAt) {
            if (!done[delivered % window]) {
                if (canTake()) {
                    workBatch(lock, 0);
                    continue;
                }
                callerWaiting = true;
                resultReady.wait(lock,
                                 [&] { return done[delivered % window] || delivered >= stopAt; });
                callerWaiting = false;
                if (delivered >= stopAt) break;
            }
            // Every result ready from here on, delivered without the lock.
            size_t end = delivered;
            while (end < stopAt && end < delivered + window && done[end % window]) ++end;
            lock.unlock();
            size_t index = delivered;
            while (index < end) {
                try {
                    deliver(index++);
                } catch (...) {
                    deliverFailure = std::current_exception();
                    break;
                }
            }
            lock.lock();
            for (size_t i = delivered; i < index; ++i) done[i % window] = 0;
            delivered = index;
            if (workersWaiting) roomForWork.notify_all();
            if (deliverFailure) break;
        }
        // Done, or stopped by a failure: no more items are handed out, and what is
        // running finishes.
        stopAt = std::min(stopAt, next);
        roomForWork.notify_all();
        callerWaiting = true;
        resultReady.wait(lock, [&] { return running == 0; });
        callerWaiting = false;
    } catch (...) {
        // A thread that could not be started: the started ones stop at their next item.
        std::unique_lock lock(mutex);
        stopAt = 0;
        roomForWork.notify_all();
        if (!deliverFailure) deliverFailure = std::current_exception();
    }
    for (std::thread& thread : pool) thread.join();
    if (deliverFailure) std::rethrow_exception(deliverFailure);
    if (workFailure) std::rethrow_exception(workFailure);
}

}  // namespace ornith
