// The class library in process: opening a class path, walking every class name on it,
// and looking classes and packages up by name.
//
// Runs over the bundled examples and, where a JDK with jmods is found (JAVA_HOME, else
// under /usr/lib/jvm), over its module files. ORNITH_BENCH_CLASSPATH replaces the
// latter with any class path (entries separated by ';').

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/model/VQJavaClass.h"

namespace {

using ornith::VQClassLibrary;

std::string examplesClassPath() {
    const std::string root = std::string(ORNITH_SOURCE_DIR) + "/examples/";
    return root + "classes;" + root + "jars/stored.jar;" + root + "jars/deflated.jar";
}

std::string jdkClassPath() {
    if (const char* path = std::getenv("ORNITH_BENCH_CLASSPATH")) return path;
    std::vector<std::filesystem::path> homes;
    if (const char* home = std::getenv("JAVA_HOME"); home && *home) homes.emplace_back(home);
    std::error_code error;
    for (std::filesystem::directory_iterator it("/usr/lib/jvm", error), end; !error && it != end;
         it.increment(error))
        homes.push_back(it->path());
    for (const auto& home : homes) {
        std::vector<std::string> modules;
        for (std::filesystem::directory_iterator it(home / "jmods", error), end;
             !error && it != end; it.increment(error))
            if (it->path().extension() == ".jmod") modules.push_back(it->path().string());
        if (modules.empty()) continue;
        std::sort(modules.begin(), modules.end());
        std::string path;
        for (const auto& module : modules) path += (path.empty() ? "" : ";") + module;
        return path;
    }
    return {};
}

const std::string& classPathFor(int which) {
    static const std::string examples = examplesClassPath();
    static const std::string jdk = jdkClassPath();
    return which == 0 ? examples : jdk;
}

// Opening the class path: one store per entry, archives indexed.
void BM_OpenClassPath(benchmark::State& state) {
    const std::string& path = classPathFor(static_cast<int>(state.range(0)));
    if (path.empty()) return state.SkipWithError("no JDK with jmods found");
    for (auto _ : state) benchmark::DoNotOptimize(VQClassLibrary::classLibraryWithClassPath(path));
}
BENCHMARK(BM_OpenClassPath)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Every class name on an open class path, through the root package's enumerator.
void BM_WalkEveryClassName(benchmark::State& state) {
    const std::string& path = classPathFor(static_cast<int>(state.range(0)));
    if (path.empty()) return state.SkipWithError("no JDK with jmods found");
    auto library = VQClassLibrary::classLibraryWithClassPath(path);
    size_t names = 0;
    for (auto _ : state) {
        names = 0;
        auto enumerator = library->classNameEnumerator();
        for (const std::string& name : *enumerator) {
            benchmark::DoNotOptimize(name.data());
            ++names;
        }
    }
    state.counters["classes"] = static_cast<double>(names);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names));
}
BENCHMARK(BM_WalkEveryClassName)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One class by name: found in the stores, read (inflated for a deflated member) and parsed.
void BM_ClassWithName(benchmark::State& state) {
    const bool jdk = state.range(0) == 1;
    const std::string& path = classPathFor(jdk ? 1 : 0);
    if (path.empty()) return state.SkipWithError("no JDK with jmods found");
    auto library = VQClassLibrary::classLibraryWithClassPath(path);
    const char* name = jdk ? "java.lang.String" : "p.Point";
    for (auto _ : state) benchmark::DoNotOptimize(library->classWithName(name));
}
BENCHMARK(BM_ClassWithName)->Arg(0)->Arg(1);

// A package lookup that the cache answers, against one that makes a new package.
void BM_PackageWithName(benchmark::State& state) {
    auto library = VQClassLibrary::classLibraryWithClassPath(classPathFor(0));
    auto held = state.range(0) ? library->packageWithName("p") : nullptr;
    for (auto _ : state) benchmark::DoNotOptimize(library->packageWithName("p"));
}
BENCHMARK(BM_PackageWithName)->Arg(0)->Arg(1);

}  // namespace
