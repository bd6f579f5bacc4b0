// The Java lexer over a set of source files, from opening each file to its end of input,
// with tokens counted and not printed; file reading (stdio, page cache) is part of the
// measured work, as the lexer reads its own files.
//
// The set is every .java file below examples/java and, when ORNITH_BENCH_SOURCES names a
// directory, below that one too (for the JDK's java.base sources, see the corpus script of
// the benchmark harness). Lexical errors are written to /dev/null while timing.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQUnicodeStream.h"

namespace {

struct SourceFiles {
    std::vector<std::string> paths;
    int64_t bytes = 0;
};

void addSourcesBelow(const std::string& root, SourceFiles& set) {
    std::error_code error;
    std::vector<std::string> found;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || it->path().extension() != ".java") continue;
        set.bytes += static_cast<int64_t>(it->file_size(error));
        found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    set.paths.insert(set.paths.end(), found.begin(), found.end());
}

const SourceFiles& sourceFiles() {
    static const SourceFiles set = [] {
        SourceFiles s;
        addSourcesBelow(ORNITH_SOURCE_DIR "/examples/java", s);
        if (const char* extra = std::getenv("ORNITH_BENCH_SOURCES"); extra && *extra)
            addSourcesBelow(extra, s);
        return s;
    }();
    return set;
}

// Sends stderr to /dev/null while it lives.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        if (std::FILE* null = std::fopen("/dev/null", "w")) {
            ::dup2(::fileno(null), 2);
            std::fclose(null);
        }
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

// The argument is the lexical level: 0 for the classic grammar, 25 for Java 25's.
void BM_LexJavaSources(benchmark::State& state) {
    const SourceFiles& set = sourceFiles();
    const int level = static_cast<int>(state.range(0));
    QuietStderr quiet;
    int64_t tokens = 0;
    int64_t errors = 0;
    for (auto _ : state) {
        tokens = 0;
        errors = 0;
        for (const std::string& path : set.paths) {
            ornith::VQJavaLexer* lexer = ornith::VQOpenJavaSourceFileAtLevel(path.c_str(), level);
            if (lexer == nullptr) continue;
            while (ornith::VQNextTokenFromJavaLexer(lexer) != ornith::VQJavaTokenEndOfInput)
                ++tokens;
            errors += ornith::VQJavaLexerErrorCount(lexer);
            ornith::VQCloseJavaSourceFile(lexer);
        }
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.counters["files"] = static_cast<double>(set.paths.size());
    state.counters["tokens"] = static_cast<double>(tokens);
    state.counters["errors"] = static_cast<double>(errors);
    state.counters["tokens/s"] =
        benchmark::Counter(static_cast<double>(tokens) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexJavaSources)
    ->Arg(ornith::VQJavaLevelClassic)
    ->Arg(ornith::VQJavaLevelLatestRelease)
    ->Unit(benchmark::kMillisecond);

// The Unicode stream alone (escapes resolved, nothing classified), to tell its share.
void BM_ReadJavaSourcesAsCharacters(benchmark::State& state) {
    const SourceFiles& set = sourceFiles();
    int64_t characters = 0;
    for (auto _ : state) {
        characters = 0;
        for (const std::string& path : set.paths) {
            ornith::VQUnicodeStream* stream = ornith::VQOpenUnicodeFile(path.c_str());
            if (stream == nullptr) continue;
            while (ornith::VQGetUnicodeCharacter(stream) >= 0) ++characters;
            ornith::VQCloseUnicodeStream(stream);
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.counters["characters"] = static_cast<double>(characters);
}
BENCHMARK(BM_ReadJavaSourcesAsCharacters)->Unit(benchmark::kMillisecond);

}  // namespace
