#include "ornith/library/VQClassPathScanner.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

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
    return size_t{resolvedThreads(threads)} * 8;
}

void VQClassPathScanner::run(size_t count, unsigned threads, const RunWork& work,
                             const RunDeliver& deliver) const {
    threads = resolvedThreads(threads);
    if (count == 0) return;
    const size_t window = windowFor(threads);
    std::vector<std::shared_ptr<VQClassLibrary>> libraries;
    libraries.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) libraries.push_back(newLibrary());

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(window, 0);  // by slot: the result waits to be delivered
    size_t next = 0;                    // the next index to hand out
    size_t delivered = 0;               // results delivered so far
    size_t stopAt = count;              // no index from here on is handed out
    std::exception_ptr workFailure;     // of the lowest failed index, stopAt
    unsigned running = threads;

    auto worker = [&](unsigned number) {
        VQClassLibrary& library = *libraries[number];
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return next >= stopAt || next < delivered + window; });
            if (next >= stopAt) break;
            const size_t index = next++;
            lock.unlock();
            std::exception_ptr failure;
            try {
                work(library, number, index);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (failure && index < stopAt) {
                stopAt = index;
                workFailure = failure;
            }
            done[index % window] = 1;
            changed.notify_all();
        }
        --running;
        changed.notify_all();
    };

    std::vector<std::thread> pool;
    pool.reserve(threads);
    std::exception_ptr deliverFailure;
    try {
        for (unsigned i = 0; i < threads; ++i) pool.emplace_back(worker, i);
        std::unique_lock lock(mutex);
        while (delivered < stopAt) {
            const size_t slot = delivered % window;
            changed.wait(lock, [&] { return done[slot] || delivered >= stopAt; });
            if (delivered >= stopAt) break;
            lock.unlock();
            try {
                deliver(delivered);
            } catch (...) {
                deliverFailure = std::current_exception();
            }
            lock.lock();
            done[slot] = 0;
            ++delivered;
            changed.notify_all();
            if (deliverFailure) break;
        }
        // Done, or stopped by a failure: no more items are handed out, and what is
        // running finishes.
        stopAt = std::min(stopAt, next);
        changed.notify_all();
        changed.wait(lock, [&] { return running == 0; });
    } catch (...) {
        // A thread that could not be started: the started ones stop at their next item.
        std::unique_lock lock(mutex);
        stopAt = 0;
        changed.notify_all();
        if (!deliverFailure) deliverFailure = std::current_exception();
    }
    for (std::thread& thread : pool) thread.join();
    if (deliverFailure) std::rethrow_exception(deliverFailure);
    if (workFailure) std::rethrow_exception(workFailure);
}

}  // namespace ornith
