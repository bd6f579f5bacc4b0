// The class-file parser over an in-memory set of class files, with the two builders that
// matter: one that wants only the class name (what a single class-file store asks) and
// one that takes every operation (the whole class, attributes decoded).
//
// The set is every .class file below examples/classes and, when ORNITH_BENCH_CLASSES names
// a directory, below that one too. Files are read once, before timing.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"

namespace {

using ornith::VQAttributeList;
using ornith::VQByteBuffer;

struct ClassFiles {
    std::vector<std::shared_ptr<const VQByteBuffer>> files;
    int64_t bytes = 0;
};

void addClassFilesBelow(const std::string& root, ClassFiles& set) {
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || it->path().extension() != ".class") continue;
        if (auto buffer = VQByteBuffer::bufferWithContentsOfFile(it->path().string())) {
            set.bytes += static_cast<int64_t>(buffer->length());
            set.files.push_back(std::move(buffer));
        }
    }
}

const ClassFiles& classFiles() {
    static const ClassFiles set = [] {
        ClassFiles s;
        addClassFilesBelow(ORNITH_SOURCE_DIR "/examples/classes", s);
        if (const char* extra = std::getenv("ORNITH_BENCH_CLASSES"); extra && *extra)
            addClassFilesBelow(extra, s);
        return s;
    }();
    return set;
}

struct NameOnlyBuilder {
    size_t seen = 0;
    void setClassName(std::string name) { seen += name.size(); }
};

// All eleven operations; the parser calls only the variants with attributes.
struct EveryOperationBuilder {
    size_t seen = 0;
    void setClassAccess(int32_t flags) { seen += static_cast<size_t>(flags); }
    void setClassName(std::string name) { seen += name.size(); }
    void setSuperClassName(std::optional<std::string> name) { seen += name ? name->size() : 0; }
    void addInterfaceName(std::string name) { seen += name.size(); }
    void addFieldName(std::string name, std::string descriptor, int32_t) {
        seen += name.size() + descriptor.size();
    }
    void addFieldName(std::string name, std::string descriptor, int32_t,
                      std::optional<VQAttributeList> a) {
        seen += name.size() + descriptor.size() + (a ? a->size() : 0);
    }
    void addMethodName(std::string name, std::string descriptor, int32_t) {
        seen += name.size() + descriptor.size();
    }
    void addMethodName(std::string name, std::string descriptor, int32_t,
                       std::optional<VQAttributeList> a) {
        seen += name.size() + descriptor.size() + (a ? a->size() : 0);
    }
    void addConstructorName(std::string name, std::string descriptor, int32_t) {
        seen += name.size() + descriptor.size();
    }
    void addConstructorName(std::string name, std::string descriptor, int32_t,
                            std::optional<VQAttributeList> a) {
        seen += name.size() + descriptor.size() + (a ? a->size() : 0);
    }
    void setClassAttributes(std::optional<VQAttributeList> a) { seen += a ? a->size() : 0; }
};

template <class Builder>
void parseEveryClass(benchmark::State& state) {
    const ClassFiles& set = classFiles();
    int64_t failures = 0;
    for (auto _ : state) {
        for (const auto& file : set.files) {
            Builder builder;
            try {
                ornith::VQParseClassFile(*file, builder);
            } catch (const ornith::VQException&) {
                ++failures;
            }
            benchmark::DoNotOptimize(builder.seen);
        }
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.files.size()));
    state.counters["classes"] = static_cast<double>(set.files.size());
    state.counters["failures"] =
        static_cast<double>(failures) / static_cast<double>(state.iterations());
}

// The header and constant pool alone: the floor under any parse, since every builder
// needs the pool and the walk over the members after it is what the other two add.
void BM_OpenConstantPool(benchmark::State& state) {
    const ClassFiles& set = classFiles();
    ornith::VQParseContext context;
    for (auto _ : state) {
        for (const auto& file : set.files) {
            ornith::VQByteStream stream{file->bytes(), 0, static_cast<uint32_t>(file->length())};
            try {
                auto pool = ornith::parsing::openClassFile(stream, context);
                benchmark::DoNotOptimize(pool->count);
            } catch (const ornith::VQException&) {
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.files.size()));
}

void BM_ParseClassFile_NameOnly(benchmark::State& state) {
    parseEveryClass<NameOnlyBuilder>(state);
}
void BM_ParseClassFile_EveryOperation(benchmark::State& state) {
    parseEveryClass<EveryOperationBuilder>(state);
}

BENCHMARK(BM_OpenConstantPool)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseClassFile_NameOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseClassFile_EveryOperation)->Unit(benchmark::kMillisecond);

}  // namespace
