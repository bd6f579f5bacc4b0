// Full class-model construction and declaration text, against the parser driving a
// builder that takes every operation (the ceiling the model is measured against).
//
// Runs over examples/classes and, when ORNITH_BENCH_CLASSES names a directory, over every
// .class file below it. Files are read into memory once, before timing.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/model/VQJavaClass.h"

namespace {

using ornith::VQAttributeList;
using ornith::VQByteBuffer;
using ornith::VQJavaClass;

struct ClassSet {
    std::vector<std::shared_ptr<const VQByteBuffer>> files;
    size_t bytes = 0;
};

ClassSet loadClasses(const std::string& root) {
    ClassSet set;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || it->path().extension() != ".class") continue;
        if (auto buffer = VQByteBuffer::bufferWithContentsOfFile(it->path().string())) {
            set.bytes += buffer->length();
            set.files.push_back(std::move(buffer));
        }
    }
    return set;
}

// Takes every operation and keeps what it is given, as cheaply as a builder can.
struct FullBuilder {
    size_t seen = 0;
    void setClassAccess(int32_t flags) { seen += static_cast<size_t>(flags); }
    void setClassName(std::string name) { seen += name.size(); }
    void setSuperClassName(std::optional<std::string> name) { seen += name ? name->size() : 0; }
    void addInterfaceName(std::string name) { seen += name.size(); }
    void addFieldName(std::string name, std::string descriptor, int32_t,
                      std::optional<VQAttributeList> attributes) {
        seen += name.size() + descriptor.size() + (attributes ? attributes->size() : 0);
    }
    void addMethodName(std::string name, std::string descriptor, int32_t,
                       std::optional<VQAttributeList> attributes) {
        seen += name.size() + descriptor.size() + (attributes ? attributes->size() : 0);
    }
    void addConstructorName(std::string name, std::string descriptor, int32_t,
                            std::optional<VQAttributeList> attributes) {
        seen += name.size() + descriptor.size() + (attributes ? attributes->size() : 0);
    }
    void setClassAttributes(std::optional<VQAttributeList> attributes) {
        seen += attributes ? attributes->size() : 0;
    }
};

void report(benchmark::State& state, const ClassSet& set, size_t failures) {
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["classes/s"] = benchmark::Counter(rounds * static_cast<double>(set.files.size()),
                                                     benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(set.bytes));
    state.counters["classes"] = static_cast<double>(set.files.size());
    state.counters["failed"] = static_cast<double>(failures);
}

void parseWithFullBuilder(benchmark::State& state, const ClassSet* set) {
    size_t failures = 0;
    for (auto _ : state) {
        failures = 0;
        for (const auto& file : set->files) {
            FullBuilder builder;
            try {
                ornith::VQParseClassFile(*file, builder);
            } catch (const ornith::VQException&) {
                ++failures;
            }
            benchmark::DoNotOptimize(builder.seen);
        }
    }
    report(state, *set, failures);
}

void constructModel(benchmark::State& state, const ClassSet* set) {
    size_t failures = 0;
    for (auto _ : state) {
        failures = 0;
        for (const auto& file : set->files) {
            try {
                auto model = VQJavaClass::classWithData(*file);
                benchmark::DoNotOptimize(model.get());
            } catch (const ornith::VQException&) {
                ++failures;
            }
        }
    }
    report(state, *set, failures);
}

// The model with lazy attributes: each class shares its file's buffer and decodes no
// attribute list.
void constructLazyModel(benchmark::State& state, const ClassSet* set) {
    ornith::VQClassOptions lazy;
    lazy.lazyAttributes = true;
    size_t failures = 0;
    for (auto _ : state) {
        failures = 0;
        for (const auto& file : set->files) {
            try {
                auto model = VQJavaClass::classWithData(file, lazy);
                benchmark::DoNotOptimize(model.get());
            } catch (const ornith::VQException&) {
                ++failures;
            }
        }
    }
    report(state, *set, failures);
}

void constructAndDescribe(benchmark::State& state, const ClassSet* set) {
    size_t failures = 0;
    size_t textBytes = 0;
    for (auto _ : state) {
        failures = 0;
        textBytes = 0;
        for (const auto& file : set->files) {
            try {
                auto model = VQJavaClass::classWithData(*file);
                std::string text = model->description();
                textBytes += text.size();
                benchmark::DoNotOptimize(text.data());
            } catch (const ornith::VQException&) {
                ++failures;
            }
        }
    }
    report(state, *set, failures);
    state.counters["text bytes"] = static_cast<double>(textBytes);
}

void registerSet(const std::string& label, const std::string& root) {
    // Loaded once and kept for the whole run; benchmarks refer to it by pointer.
    static std::vector<std::unique_ptr<ClassSet>> sets;
    sets.push_back(std::make_unique<ClassSet>(loadClasses(root)));
    const ClassSet* set = sets.back().get();
    if (set->files.empty()) return;
    benchmark::RegisterBenchmark(("BM_ParseFullBuilder/" + label).c_str(), parseWithFullBuilder,
                                 set)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_ModelConstruct/" + label).c_str(), constructModel, set)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_ModelConstructLazy/" + label).c_str(), constructLazyModel,
                                 set)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_ModelConstructAndDescribe/" + label).c_str(),
                                 constructAndDescribe, set)
        ->Unit(benchmark::kMillisecond);
}

const bool registered = [] {
    registerSet("examples", std::string(ORNITH_SOURCE_DIR) + "/examples/classes");
    if (const char* root = std::getenv("ORNITH_BENCH_CLASSES"); root && *root)
        registerSet("env", root);
    return true;
}();

}  // namespace
