#include "ornith/library/VQClassPathScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "ornith/library/VQJavaPackage.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/testing/LibraryTestSupport.h"

namespace ornith {
namespace {

using testing::classBytes;
using testing::ScratchDirectory;
using testing::writeClass;
using testing::ZipWriter;

// A class path of a deflated jar, a stored jar and a directory, 3 x 40 classes, so that
// every kind of store is read on several threads at once.
struct ThreeStores {
    ScratchDirectory scratch;
    std::string classPath;
    std::vector<std::string> names;  // every class, sorted

    ThreeStores() {
        ZipWriter deflated, stored;
        for (int i = 0; i < 40; ++i) {
            const std::string n = std::to_string(i);
            deflated.add("d/p" + std::to_string(i % 3) + "/D" + n + ".class",
                         classBytes("d/p" + std::to_string(i % 3) + "/D" + n, "java/lang/Object",
                                    "deflated" + n),
                         8);
            stored.add("s/S" + n + ".class", classBytes("s/S" + n, "java/lang/Object", "s" + n));
            writeClass(scratch.path() + "/dir", "t/T" + n, "java/lang/Object", "t" + n);
        }
        deflated.writeTo(scratch / "deflated.jar");
        stored.writeTo(scratch / "stored.jar");
        classPath = scratch / "deflated.jar;" + scratch / "stored.jar;" + scratch / "dir";
        auto library = VQClassLibrary::classLibraryWithClassPath(classPath);
        const auto enumerator = library->packageWithName("")->classNameEnumerator();
        for (const std::string& name : *enumerator) names.push_back(name);
        std::sort(names.begin(), names.end());
    }
};

// What a host would print for a class: its name, its marker field and its length.
std::string summary(VQClassLibrary& library, const std::string& name) {
    const auto data = library.dataForClassName(name);
    const auto javaClass = library.classWithName(name);
    return name + " " + testing::markerOf(javaClass) + " " +
           std::to_string(data ? data->length() : 0);
}

TEST(VQClassPathScanner, DeliversEveryResultOnceInOrderOnSeveralThreads) {
    const ThreeStores path;
    ASSERT_EQ(path.names.size(), 120u);
    auto original = VQClassLibrary::classLibraryWithClassPath(path.classPath);
    std::vector<std::string> serial;
    for (const std::string& name : path.names) serial.push_back(summary(*original, name));

    const VQClassPathScanner scanner(*original);
    for (unsigned threads : {1u, 2u, 4u, 7u}) {
        std::vector<std::string> delivered;
        std::set<const VQClassLibrary*> libraries;
        std::mutex seen;
        scanner.scan<std::string>(
            path.names.size(), threads,
            [&](VQClassLibrary& library, unsigned worker, size_t index) {
                EXPECT_LT(worker, threads);
                {
                    std::lock_guard lock(seen);
                    libraries.insert(&library);
                }
                return summary(library, path.names[index]);
            },
            [&](size_t index, std::string result) {
                EXPECT_EQ(index, delivered.size());
                delivered.push_back(std::move(result));
            });
        EXPECT_EQ(delivered, serial) << threads << " threads";
        // Libraries of their own: none is the original, none is shared by two workers.
        EXPECT_LE(libraries.size(), threads);
        EXPECT_FALSE(libraries.count(original.get()));
    }
}

TEST(VQClassPathScanner, WorkersHaveLibrariesOfTheirOwnWithTheSameClassPath) {
    const ThreeStores path;
    auto original = VQClassLibrary::classLibraryWithClassPath(path.classPath);
    const VQClassPathScanner scanner(*original);
    auto copy = scanner.newLibrary();
    ASSERT_NE(copy, original);
    EXPECT_EQ(copy->classPath(), original->classPath());
    ASSERT_EQ(copy->classStores().size(), original->classStores().size());
    for (size_t i = 0; i < copy->classStores().size(); ++i) {
        EXPECT_NE(copy->classStores()[i], original->classStores()[i]);
        EXPECT_EQ(copy->classStores()[i]->name(), original->classStores()[i]->name());
    }
}

TEST(VQClassPathScanner, TheOriginalLibraryMayBeUsedDuringAScan) {
    const ThreeStores path;
    auto original = VQClassLibrary::classLibraryWithClassPath(path.classPath);
    const VQClassPathScanner scanner(*original);
    size_t found = 0;
    scanner.scan<std::string>(
        path.names.size(), 3,
        [&](VQClassLibrary& library, unsigned, size_t index) {
            return summary(library, path.names[index]);
        },
        [&](size_t index, std::string result) {
            EXPECT_EQ(result, summary(*original, path.names[index]));
            ++found;
        });
    EXPECT_EQ(found, path.names.size());
}

TEST(VQClassPathScanner, AFailedItemStopsTheScanAfterEverythingBeforeIt) {
    const VQClassPathScanner scanner(std::nullopt, VQClassLibraryArchiveOptions());
    for (unsigned threads : {1u, 3u}) {
        std::vector<size_t> delivered;
        std::atomic<size_t> started{0};
        EXPECT_THROW(scanner.scan<size_t>(
                         1000, threads,
                         [&](VQClassLibrary&, unsigned, size_t index) {
                             ++started;
                             if (index == 37 || index == 90) throw std::runtime_error("item");
                             return index;
                         },
                         [&](size_t, size_t result) { delivered.push_back(result); }),
                     std::runtime_error);
        ASSERT_EQ(delivered.size(), 37u) << threads << " threads";
        for (size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], i);
        // The window bounds how far the workers ran ahead of the failure.
        EXPECT_LT(started.load(), 37u + 32u * threads + threads + 1);
    }
}

TEST(VQClassPathScanner, AFailedDeliveryStopsTheWorkers) {
    const VQClassPathScanner scanner(std::nullopt, VQClassLibraryArchiveOptions());
    std::atomic<size_t> started{0};
    size_t delivered = 0;
    EXPECT_THROW(scanner.scan<int>(
                     100000, 2,
                     [&](VQClassLibrary&, unsigned, size_t) {
                         ++started;
                         return 1;
                     },
                     [&](size_t index, int) {
                         if (index == 5) throw std::logic_error("deliver");
                         ++delivered;
                     }),
                 std::logic_error);
    EXPECT_EQ(delivered, 5u);
    EXPECT_LT(started.load(), 100u);
}

TEST(VQClassPathScanner, NothingToScanStartsNothing) {
    const VQClassPathScanner scanner(std::nullopt, VQClassLibraryArchiveOptions());
    bool called = false;
    scanner.scan<int>(
        0, 4, [&](VQClassLibrary&, unsigned, size_t) { return called = true, 1; },
        [&](size_t, int) { called = true; });
    EXPECT_FALSE(called);
    EXPECT_GE(VQClassPathScanner::hardwareThreads(), 1u);
}

}  // namespace
}  // namespace ornith
