// Zip and jar stores: (a) building a store's index (the central-directory walk, every
// member's local header, the package index) and (b) reading every class through
// dataForClassName. Run over the example jars, plus the archives named by ORNITH_BENCH_JAR:
// a colon-separated list of jar paths, where "@list.txt" stands for all the jars listed in
// that file (one path a line) measured together, e.g.
//
//   ORNITH_BENCH_JAR=$CORPUS/jdk-stored.jar:$CORPUS/jdk-deflated.jar:@$CORPUS/jars.txt
//
// Items are archive members for (a) and classes for (b); bytes are the archive sizes for
// (a) (nominal: only the directory and the local headers are read) and the classes'
// uncompressed bytes for (b). Run with --benchmark_repetitions=10 for the "min" row,
// whose time is what the java.util.zip peers of the side-by-side harness report.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/zipfile.h"

namespace {

using namespace ornith;

struct Archives {
    std::string label;
    std::vector<std::string> paths;
};

std::vector<Archives> benchArchives() {
    std::vector<Archives> out;
    const std::string examples = std::string(ORNITH_SOURCE_DIR) + "/examples/jars/";
    for (const char* name : {"stored.jar", "deflated.jar"})
        out.push_back({std::string("examples/") + name, {examples + name}});
    const char* env = std::getenv("ORNITH_BENCH_JAR");
    std::string list = env ? env : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t stop = list.find(':', start);
        if (stop == std::string::npos) stop = list.size();
        std::string item = list.substr(start, stop - start);
        start = stop + 1;
        if (item.empty()) continue;
        if (item[0] == '@') {
            Archives group{std::filesystem::path(item.substr(1)).filename().string(), {}};
            std::ifstream in(item.substr(1));
            for (std::string line; std::getline(in, line);)
                if (!line.empty()) group.paths.push_back(line);
            group.label += " (" + std::to_string(group.paths.size()) + " jars)";
            out.push_back(std::move(group));
        } else {
            out.push_back({std::filesystem::path(item).filename().string(), {item}});
        }
    }
    return out;
}

int64_t memberCount(const std::string& path) {
    int64_t count = 0;
    _VQ_register_zip_archive_callback([](const char*, uint32_t, uint32_t, int32_t, uint32_t,
                                         void* c) { ++*static_cast<int64_t*>(c); },
                                      &count);
    _VQ_read_zip_archive(path);
    _VQ_register_zip_archive_callback(nullptr, nullptr);
    return count;
}

int64_t fileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

void collectClasses(const VQClassStore& store, const std::string& package,
                    std::vector<std::string>& out) {
    if (auto classes = store.classNamesInPackage(package))
        for (const auto& name : *classes)
            out.push_back(package.empty() ? name : package + "." + name);
    if (auto packages = store.packageNamesInPackage(package))
        for (const auto& name : *packages)
            collectClasses(store, package.empty() ? name : package + "." + name, out);
}

void indexArchives(benchmark::State& state, const Archives& archives) {
    int64_t members = 0, bytes = 0;
    for (const auto& path : archives.paths) {
        members += memberCount(path);
        bytes += fileSize(path);
    }
    for (auto _ : state) {
        for (const auto& path : archives.paths) {
            VQJarFileStore store(path);
            benchmark::DoNotOptimize(&store);
        }
    }
    state.SetItemsProcessed(state.iterations() * members);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["members"] = static_cast<double>(members);
}

void readArchives(benchmark::State& state, const Archives& archives) {
    std::vector<std::unique_ptr<VQJarFileStore>> stores;
    std::vector<std::vector<std::string>> classes;
    int64_t count = 0, bytes = 0;
    for (const auto& path : archives.paths) {
        stores.push_back(std::make_unique<VQJarFileStore>(path));
        classes.emplace_back();
        collectClasses(*stores.back(), "", classes.back());
        for (const auto& name : classes.back()) {
            // Only classes that can be read count (a jar may hold members of other methods).
            if (const VQZipFileEntry* entry = stores.back()->entryForClassName(name);
                entry && (entry->compressionMethod() == 0 || entry->compressionMethod() == 8)) {
                ++count;
                bytes += static_cast<int64_t>(entry->length());
            }
        }
    }
    for (auto _ : state) {
        for (size_t i = 0; i < stores.size(); ++i)
            for (const auto& name : classes[i]) {
                auto data = stores[i]->dataForClassName(name);
                benchmark::DoNotOptimize(data.get());
            }
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["classes"] = static_cast<double>(count);
}

// The peers report their best round; with --benchmark_repetitions=N the "min" row's time
// is the best repetition, for a like-for-like comparison (its rates are the lowest ones).
double minimum(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

[[maybe_unused]] const bool registered = [] {
    for (const auto& archives : benchArchives()) {
        benchmark::RegisterBenchmark(
            ("zip_index/" + archives.label).c_str(),
            [archives](benchmark::State& s) { indexArchives(s, archives); })
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", minimum);
        benchmark::RegisterBenchmark(("zip_read/" + archives.label).c_str(),
                                     [archives](benchmark::State& s) { readArchives(s, archives); })
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", minimum);
    }
    return true;
}();

}  // namespace
