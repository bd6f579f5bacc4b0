// ornith-bench: the library's side of the side-by-side table with the Java peers of the
// benchmark harness (the shared bench folder: corpus.sh, run-all.sh, peers/).
//
//   ornith-bench [--rounds N] [--warmup N] [--warmup-seconds S] [--jobs LIST] [--list] CORPUS
//
// CORPUS is the directory made by corpus.sh. Every job prints one JSON line in the peers'
// format: job, items, bytes, seconds (best round), median_s, max_s, rounds, warmup_rounds,
// input, the job's extra fields, check, round_s. A job runs like a peer: inputs read into
// memory where the peer does that too (untimed), warm-up rounds until both --warmup rounds
// and --warmup-seconds have passed (untimed), then --rounds timed rounds of one complete
// pass each. `check` depends on all the work of a round and must be equal in every round.
//
// --jobs takes a comma-separated list of job names (ornith-parse) or job:input pairs
// (ornith-zip-read:jdk-deflated.jar); --list prints the jobs that would run. --cpu-time
// times rounds by the thread's CPU time instead of the wall clock (for comparing builds on
// a busy machine; the side-by-side table uses wall time like the peers).
//
// Jobs and what their rows count:
//   ornith-name-only  VQParseClassFile with a builder that takes only the class name (as a
//                     string_view, so the parser makes no string), for every class of
//                     classes/. items = classes, bytes = class-file bytes.
//                     check: as asm-name-only's (Java String hashes of the internal names,
//                     in sorted path order), so the two rows can be compared.
//                     allocs_per_class as for ornith-parse.
//   ornith-parse      a VQJavaClass per class, all kept until the round ends (as the peer
//                     keeps its list of models); freeing them is untimed, as the peer's
//                     System.gc() between rounds is. fields = fields, methods = methods plus
//                     constructors (every method record). check: as asm-parse-model's.
//                     heap_bytes = the heap that the kept models of one round take.
//                     allocs_per_class = operator new calls per class of one untimed
//                     pass (model and parse together); attribute_objects = non-null
//                     attribute objects per class in that pass, made by the attribute
//                     registry's factories (each is at least one allocation of its own);
//                     parser_allocs_per_class = what a parse into a builder that keeps
//                     nothing allocates (the pool and the attribute objects), and
//                     model_allocs_per_class the rest: what the model itself costs.
//   ornith-parse-lazy  ornith-parse with lazy attributes (VQClassOptions): each class
//                     shares its file's buffer (already in memory, so heap_bytes leaves
//                     it out) and its parse decodes no attribute. Items, fields, methods
//                     and check as ornith-parse's. attribute_objects_per_class: what
//                     decoding every list afterwards (untimed) makes, which must equal
//                     ornith-parse's; decode_allocs_per_class what that decoding costs.
//   ornith-parser-only  the parse of ornith-parse into a builder that keeps nothing (the
//                     attribute objects are still made, and dropped): the parser's share.
//   ornith-code       a VQJavaClass per class (sharing the file's buffer) with every
//                     method's Code attribute found and its instructions decoded once,
//                     operands and pool tags included, plus the exception table and the
//                     line numbers; models kept until the round ends, as asm-code keeps
//                     its trees. methods_with_code, instructions, try_catch,
//                     line_numbers; faults = methods whose code did not decode.
//   ornith-describe   a VQJavaClass per class plus its description; each class is dropped
//                     as soon as it is described (timed). text_bytes = text produced.
//                     allocs_per_class as for ornith-parse, the text's growth included.
//   ornith-javap      as ornith-describe, with the javap view (VQJavapText, default
//                     options) in place of the description. Compare with one javap
//                     process given every class name (bench/javap-rate.sh).
//   ornith-zip-list   a VQJarFileStore (the whole index, from the central directory;
//                     local headers are read with the members) per archive. items = central-
//                     directory entries (directories included, as java.util.zip counts
//                     them), bytes = archive file sizes (nominal), cd_bytes = central
//                     directory sizes: the peer's definitions.
//   ornith-zip-read   a VQJarFileStore per archive, kept open while it is read (as a
//                     class library keeps it), its package index walked and every
//                     class read through dataForClassName. items = classes read, bytes =
//                     their uncompressed bytes. The peer reads every non-directory entry;
//                     in the corpus jars those are exactly the classes, while in the real
//                     jars of jars.txt the peer also reads resources (and META-INF), which
//                     a class store does not hold.
//   ornith-lex        every .java file of src/, read into memory untimed as the peers read
//                     theirs, opened with VQOpenJavaSourceBytes at the classic level and
//                     lexed to the end with VQNextTokenFromJavaLexer. items = tokens (end
//                     of input not counted), bytes = file sizes. The peers lex char[] that
//                     was decoded untimed; the lexer decodes its UTF-8 in the timed rounds.
//                     Standard error goes to /dev/null during the job.
//   ornith-lex-25     the same at the lexical level of Java 25, which makes the tokens
//                     javac's and the Eclipse scanner's make.
//   ornith-image-open    a VQRuntimeImageStore on a JDK's lib/modules (ORNITH_IMAGE, else
//                     JAVA_HOME's): header and index read and checked. items = resources
//                     the header declares, bytes = the file's size.
//   ornith-image-lookup  a new store, then containsClassName for every class of the image
//                     (names gathered untimed from its listings). items = classes.
//   ornith-image-read    a new store, then dataForClassName for every class: positioned
//                     reads, inflated where jlink compressed. items = classes, bytes =
//                     their bytes.

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapText.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"
#include "ornith/stores/zipfile.h"

// ---- Counting the heap's calls ---------------------------------------------------------
// Every form of the global operator new counts one call while counting is on, so that a
// job can say how many allocations a class costs. Counting is on only around one untimed
// pass on the main thread; the timed rounds pay one predictable branch per call (an atomic
// increment would cost them as much as a few per cent of a parse).

namespace {
bool countingAllocations = false;
int64_t allocationCalls = 0;

void* countedAllocation(std::size_t size) {
    if (countingAllocations) ++allocationCalls;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* countedAlignedAllocation(std::size_t size, std::align_val_t alignment) {
    if (countingAllocations) ++allocationCalls;
    const auto a = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size + a - 1) / a * a;
    if (void* p = std::aligned_alloc(a, rounded ? rounded : a)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return countedAllocation(size);
}
void* operator new[](std::size_t size) {
    return countedAllocation(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocation(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocation(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return countedAlignedAllocation(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return countedAlignedAllocation(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    try {
        return countedAlignedAllocation(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    try {
        return countedAlignedAllocation(size, alignment);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

using ornith::VQByteBuffer;
using ornith::VQJarFileStore;
using ornith::VQJavaClass;
using ornith::VQLoadLE32;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "ornith-bench: %s\n", message.c_str());
    std::exit(1);
}

// ---- Options -------------------------------------------------------------------------

struct Options {
    int rounds = 5;
    int warmupRounds = 3;
    double warmupSeconds = 2.0;
    std::vector<std::string> jobs;  // empty: all
    bool list = false;
    bool cpuTime = false;
    std::string corpus;
};

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: ornith-bench [--rounds N] [--warmup N] [--warmup-seconds S] [--jobs "
                 "JOB[:INPUT],...] "
                 "[--list] [--cpu-time] CORPUS\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        try {
            if (a == "--rounds") {
                options.rounds = std::stoi(value());
            } else if (a == "--warmup") {
                options.warmupRounds = std::stoi(value());
            } else if (a == "--warmup-seconds") {
                options.warmupSeconds = std::stod(value());
            } else if (a == "--jobs") {
                std::string listed = value();
                for (size_t start = 0; start <= listed.size();) {
                    size_t comma = listed.find(',', start);
                    if (comma == std::string::npos) comma = listed.size();
                    if (comma > start) options.jobs.push_back(listed.substr(start, comma - start));
                    start = comma + 1;
                }
            } else if (a == "--list") {
                options.list = true;
            } else if (a == "--cpu-time") {
                options.cpuTime = true;
            } else if (a == "-h" || a == "--help" || a.starts_with("--") ||
                       !options.corpus.empty()) {
                usage();
            } else {
                options.corpus = std::string(a);
            }
        } catch (const std::exception&) {
            usage();
        }
    }
    if (options.corpus.empty() || options.rounds < 1) usage();
    return options;
}

// ---- Timing and the JSON record --------------------------------------------------------

// One extra field of a record: a number, a string when `text` is set, or a fraction when
// `fraction` is.
struct Field {
    std::string name;
    int64_t number = 0;
    std::optional<std::string> text;
    std::optional<double> fraction;
};

struct Timing {
    std::vector<double> inOrder;
    int64_t check = 0;
    int warmupDone = 0;
};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The thread's CPU time: steadier than wall time on a machine that other work shares,
// for comparing two builds of the library (not for the side-by-side table, whose peers
// are timed by the wall clock).
double cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A round is one complete pass; it returns its check value. `after` runs untimed after
// each round (the analogue of the peers' System.gc() between rounds).
Timing timeRounds(const Options& options, const std::function<int64_t()>& round,
                  const std::function<void()>& after = nullptr) {
    Timing t;
    bool first = true;
    auto record = [&](int64_t c) {
        if (first) {
            t.check = c;
            first = false;
        } else if (c != t.check) {
            fail("round result changed: " + std::to_string(c) + " vs " + std::to_string(t.check));
        }
    };
    const double warmStart = now();
    while (t.warmupDone < options.warmupRounds || now() - warmStart < options.warmupSeconds) {
        record(round());
        if (after) after();
        ++t.warmupDone;
    }
    const auto clock = options.cpuTime ? &cpuNow : &now;
    for (int r = 0; r < options.rounds; ++r) {
        const double t0 = clock();
        const int64_t c = round();
        const double t1 = clock();
        t.inOrder.push_back(t1 - t0);
        record(c);
        if (after) after();
    }
    return t;
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void report(const std::string& job, const std::string& input, int64_t items, int64_t bytes,
            const Timing& t, const std::vector<Field>& extra) {
    std::vector<double> sorted = t.inOrder;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    std::string line = "{\"job\": " + jsonString(job);
    char number[64];
    auto add = [&](const char* name, const char* format, auto value) {
        std::snprintf(number, sizeof number, format, value);
        line.append(", \"").append(name).append("\": ").append(number);
    };
    add("items", "%" PRId64, items);
    add("bytes", "%" PRId64, bytes);
    add("seconds", "%.6f", sorted.front());
    add("median_s", "%.6f", median);
    add("max_s", "%.6f", sorted.back());
    add("rounds", "%zu", n);
    add("warmup_rounds", "%d", t.warmupDone);
    line.append(", \"input\": ").append(jsonString(input));
    for (const Field& f : extra) {
        if (f.text)
            line.append(", \"").append(f.name).append("\": ").append(jsonString(*f.text));
        else if (f.fraction)
            add(f.name.c_str(), "%.2f", *f.fraction);
        else
            add(f.name.c_str(), "%" PRId64, f.number);
    }
    add("check", "%" PRId64, t.check);
    line.append(", \"round_s\": [");
    for (size_t i = 0; i < t.inOrder.size(); ++i) {
        std::snprintf(number, sizeof number, "%s%.6f", i ? ", " : "", t.inOrder[i]);
        line.append(number);
    }
    line.append("]}\n");
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// ---- Inputs ----------------------------------------------------------------------------

// Regular files below dir with the suffix, sorted by path bytes (the peers' order).
std::vector<std::string> filesBelow(const std::string& dir, std::string_view suffix) {
    std::vector<std::string> paths;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        std::string path = it->path().string();
        if (std::string_view(path).ends_with(suffix)) paths.push_back(std::move(path));
    }
    if (error) fail("cannot walk " + dir + ": " + error.message());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The last path element, as the peers print it.
std::string label(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().filename().string();
}

int64_t fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) fail("cannot stat " + path);
    return static_cast<int64_t>(st.st_size);
}

// Java's String.hashCode over the UTF-16 units of UTF-8 text, with '.' read as '/' (the
// peers hash internal names; the model hands out dotted ones).
int32_t javaHash(std::string_view utf8) {
    uint32_t h = 0;
    auto unit = [&h](uint32_t u) { h = h * 31 + u; };
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        uint32_t c;
        size_t len;
        if (b < 0x80) {
            c = b == '.' ? '/' : b, len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1Fu, len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0Fu, len = 3;
        } else {
            c = b & 0x07u, len = 4;
        }
        for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3Fu);
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 + (c >> 10));
            unit(0xDC00 + (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return static_cast<int32_t>(h);
}

// Java's `check * 31 + v` on longs.
int64_t fold(int64_t check, int64_t v) {
    return static_cast<int64_t>(static_cast<uint64_t>(check) * 31u + static_cast<uint64_t>(v));
}

struct ClassFiles {
    std::vector<std::shared_ptr<const VQByteBuffer>> data;
    int64_t bytes = 0;
};

ClassFiles readClasses(const std::string& dir) {
    ClassFiles set;
    for (const std::string& path : filesBelow(dir, ".class")) {
        auto buffer = VQByteBuffer::bufferWithContentsOfFile(path);
        if (!buffer) fail("cannot read " + path);
        set.bytes += static_cast<int64_t>(buffer->length());
        set.data.push_back(std::move(buffer));
    }
    if (set.data.empty()) fail("no class files below " + dir);
    return set;
}

// The archives of one zip row: a single jar, or every path listed in an @file.
struct Archives {
    std::string input;
    std::vector<std::string> paths;
    int64_t fileBytes = 0;
    int64_t directoryBytes = 0;
    int64_t entries = 0;                   // central-directory entries, directories included
    std::vector<std::string> lastPackage;  // per archive, a package its index must hold
};

// The central directory's size from the end record, found as the peer finds it (-1: none).
int64_t centralDirectorySize(const std::string& path) {
    auto data = VQByteBuffer::bufferWithContentsOfFile(path);
    if (!data || data->length() < 22) return -1;
    const uint8_t* b = data->bytes();
    for (size_t i = data->length() - 22 + 1, stop = i > 65535 ? i - 65535 : 0; i-- > stop;)
        if (b[i] == 0x50 && b[i + 1] == 0x4B && b[i + 2] == 0x05 && b[i + 3] == 0x06)
            return VQLoadLE32(b + i + 12);
    return -1;
}

struct MemberCount {
    int64_t entries = 0;
    std::string lastDirectory;
};

void countMember(const char* name, uint32_t, uint32_t, int32_t, uint32_t, void* context) {
    auto* count = static_cast<MemberCount*>(context);
    ++count->entries;
    std::string_view n(name);
    if (n.find("META-INF") != std::string_view::npos || !n.ends_with(".class")) return;
    const size_t slash = n.rfind('/');
    if (slash == std::string_view::npos || slash == 0) return;
    std::string dotted(n.substr(0, slash));
    std::replace(dotted.begin(), dotted.end(), '/', '.');
    count->lastDirectory = std::move(dotted);
}

Archives archives(const std::string& argument) {
    Archives a;
    if (argument.starts_with("@")) {
        const std::string listFile = argument.substr(1);
        std::ifstream in(listFile);
        if (!in) fail("cannot read " + listFile);
        for (std::string line; std::getline(in, line);) {
            const size_t b = line.find_first_not_of(" \t\r");
            if (b == std::string::npos) continue;
            a.paths.push_back(line.substr(b, line.find_last_not_of(" \t\r") - b + 1));
        }
        a.input = label(listFile);
    } else {
        a.paths.push_back(argument);
        a.input = label(argument);
    }
    for (const std::string& path : a.paths) {
        a.fileBytes += fileSize(path);
        a.directoryBytes += centralDirectorySize(path);
        MemberCount count;
        ornith::_VQ_register_zip_archive_callback(&countMember, &count);
        const int walked = ornith::_VQ_read_zip_archive(path);
        ornith::_VQ_register_zip_archive_callback(nullptr, nullptr);
        if (walked != 0) fail("cannot walk " + path);
        a.entries += count.entries;
        a.lastPackage.push_back(std::move(count.lastDirectory));
    }
    return a;
}

std::vector<Field> archiveFields(const Archives& a) {
    return {{"archives", static_cast<int64_t>(a.paths.size()), {}, {}},
            {"archive_bytes", a.fileBytes, {}, {}},
            {"cd_bytes", a.directoryBytes, {}, {}}};
}

// Points standard error at /dev/null while it lives.
class SilencedStandardError {
public:
    SilencedStandardError() {
        std::fflush(stderr);
        _saved = ::dup(2);
        if (std::FILE* null = std::fopen("/dev/null", "we")) {
            ::dup2(::fileno(null), 2);
            std::fclose(null);
        }
    }
    ~SilencedStandardError() {
        std::fflush(stderr);
        if (_saved >= 0) {
            ::dup2(_saved, 2);
            ::close(_saved);
        }
    }
    SilencedStandardError(const SilencedStandardError&) = delete;
    SilencedStandardError& operator=(const SilencedStandardError&) = delete;

private:
    int _saved = -1;
};

// ---- Jobs ------------------------------------------------------------------------------

// After a round's objects are freed (untimed), lets the allocator finish that freeing: glibc
// defers coalescing small freed chunks until some later large request, which would land the
// previous round's clean-up inside the next timed round. A large request made here, untimed,
// settles it, as the peers' System.gc() between rounds collects their previous round.
void settleAllocator() {
    void* large = std::malloc(size_t{64} * 1024);
    asm volatile("" : : "r"(large) : "memory");  // kept, so that the pair is not optimised away
    std::free(large);
}

// Allocations per class of one untimed pass over the set; `pass` does what a round does.
double allocationsPerClass(size_t classes, const std::function<void()>& pass) {
    const int64_t before = allocationCalls;
    countingAllocations = true;
    pass();
    countingAllocations = false;
    const int64_t calls = allocationCalls - before;
    return classes ? static_cast<double>(calls) / static_cast<double>(classes) : 0.0;
}

// Non-null attribute objects of a class and its members: the attribute registry's
// factories make them, one allocation or more each, outside what the model allocates.
int64_t attributeObjects(const VQJavaClass& c) {
    int64_t n = 0;
    auto count = [&n](const auto& list) {
        if (list)
            for (const auto& attribute : *list) n += attribute ? 1 : 0;
    };
    count(c.attributes());
    auto members = [&](const auto& list) {
        if (list)
            for (const auto& member : *list) count(member->attributes());
    };
    members(c.fields());
    members(c.methods());
    members(c.constructors());
    return n;
}

// Takes everything a class does, as views, and keeps nothing: what its parse allocates
// is the parser's own part (the constant pool) and the attribute objects that the
// registry's factories make, which the model's own count leaves out.
struct DiscardingBuilder {
    void setClassAccess(int32_t) {}
    void setClassName(std::string_view) {}
    void setSuperClassName(std::optional<std::string_view>) {}
    void addInterfaceName(std::string_view) {}
    void addFieldName(std::string_view, std::string_view, int32_t, ornith::VQLentAttributes) {}
    void addMethodName(std::string_view, std::string_view, int32_t, ornith::VQLentAttributes) {}
    void addConstructorName(std::string_view, std::string_view, int32_t, ornith::VQLentAttributes) {
    }
    void setClassAttributes(ornith::VQLentAttributes) {}
};
static_assert(ornith::parsing::TakesViews<DiscardingBuilder>);

// Takes the name as a view, as a host that only looks at it would: the parser then makes
// no string for it.
struct NameOnlyBuilder {
    int32_t hash = 0;
    void setClassName(std::string_view name) { hash = javaHash(name); }
};

void nameOnly(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    int64_t failures = 0;
    const double allocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& file : set.data) {
            NameOnlyBuilder builder;
            try {
                ornith::VQParseClassFile(*file, builder);
            } catch (const ornith::VQException&) {
            }
        }
    });
    Timing t = timeRounds(options, [&] {
        int64_t check = 0;
        failures = 0;
        for (const auto& file : set.data) {
            NameOnlyBuilder builder;
            try {
                ornith::VQParseClassFile(*file, builder);
            } catch (const ornith::VQException&) {
                ++failures;
            }
            check = fold(check, builder.hash);
        }
        return check;
    });
    report("ornith-name-only", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"failures", failures, {}, {}}, {"allocs_per_class", 0, {}, allocations}});
}

// The parser's share of ornith-parse: the same walk and attribute objects, with a builder
// that keeps nothing, so that what the model adds is the difference of the two rows.
void parserOnly(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    Timing t = timeRounds(options, [&] {
        int64_t check = 0;
        for (const auto& file : set.data) {
            DiscardingBuilder discard;
            ornith::VQParseClassFile(*file, discard);
            check = fold(check, static_cast<int64_t>(file->length()));
        }
        return check;
    });
    report("ornith-parser-only", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {});
}

// The class model of every class with its method bodies: each method's Code attribute
// found in the kept bytes, every instruction decoded once with its operands (a pool
// reference's entry read for its tag), the exception table and the line numbers. The
// peer's asm-code builds a tree of all of that; the models are kept until the round
// ends, as there.
void code(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    std::vector<std::shared_ptr<VQJavaClass>> models;
    models.reserve(set.data.size());
    int64_t withCode = 0, instructions = 0, handlers = 0, lines = 0, faults = 0;
    Timing t = timeRounds(
        options,
        [&] {
            int64_t check = 0, n = 0, m = 0, h = 0, l = 0, bad = 0;
            for (const auto& file : set.data) {
                models.push_back(VQJavaClass::classWithData(file));
                const VQJavaClass& k = *models.back();
                auto walk = [&](const ornith::VQJavaMethod* method) {
                    const ornith::VQCodeAttribute* body = k.code(*method);
                    if (!body) return;
                    ++m;
                    ornith::VQInstructionDecoder decoder = body->instructions();
                    ornith::VQInstruction i;
                    while (decoder.next(i)) {
                        ++n;
                        check += i.opcode + i.poolTag + i.local + i.target;
                    }
                    if (decoder.fault() != ornith::VQCodeFault::none) ++bad;
                    for (const ornith::VQExceptionHandler& e : body->exceptionTable())
                        check += e.handler + e.catchType, ++h;
                    if (const ornith::VQLayoutAttribute* table = body->attribute("LineNumberTable"))
                        for (size_t at = 2; at + 4 <= table->info.size(); at += 4)
                            check += ornith::VQLoadBE16(table->info.data() + at + 2), ++l;
                };
                if (k.methods())
                    for (const ornith::VQJavaMethod* method : k.methods()->items()) walk(method);
                if (k.constructors())
                    for (const ornith::VQJavaMethod* method : k.constructors()->items())
                        walk(method);
            }
            withCode = m;
            instructions = n;
            handlers = h;
            lines = l;
            faults = bad;
            return check ^ (n << 20);
        },
        [&] {
            models.clear();
            settleAllocator();
        });
    report("ornith-code", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"methods_with_code", withCode, {}, {}},
            {"instructions", instructions, {}, {}},
            {"try_catch", handlers, {}, {}},
            {"line_numbers", lines, {}, {}},
            {"faults", faults, {}, {}}});
}

void parse(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    std::vector<std::shared_ptr<VQJavaClass>> models;
    models.reserve(set.data.size());
    int64_t fields = 0, methods = 0;
    // The heap that a kept model of every class takes, measured once before the rounds.
    settleAllocator();
    const size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    const double allocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& file : set.data) models.push_back(VQJavaClass::classWithData(*file));
    });
    const auto heapBytes =
        static_cast<int64_t>(mallinfo2().uordblks + mallinfo2().hblkhd - heapBefore);
    int64_t attributes = 0, storageBytes = 0, storageUsed = 0, chunks = 0;
    for (const auto& c : models) {
        attributes += attributeObjects(*c);
        storageBytes += static_cast<int64_t>(c->storageBytes());
        storageUsed += static_cast<int64_t>(c->storageBytesUsed());
        chunks += static_cast<int64_t>(c->storageChunks());
    }
    const double attributesPerClass =
        set.data.empty() ? 0.0
                         : static_cast<double>(attributes) / static_cast<double>(set.data.size());
    const double parserAllocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& file : set.data) {
            DiscardingBuilder discard;
            ornith::VQParseClassFile(*file, discard);
        }
    });
    models.clear();
    settleAllocator();
    Timing t = timeRounds(
        options,
        [&] {
            for (const auto& file : set.data) models.push_back(VQJavaClass::classWithData(*file));
            int64_t f = 0, m = 0, check = 0;
            for (const auto& c : models) {
                if (c->fields()) f += static_cast<int64_t>(c->fields()->size());
                if (c->methods()) m += static_cast<int64_t>(c->methods()->size());
                if (c->constructors()) m += static_cast<int64_t>(c->constructors()->size());
                check = fold(check, javaHash(c->className().value_or("")));
            }
            fields = f;
            methods = m;
            return check ^ (f << 20) ^ m;
        },
        [&] {
            models.clear();
            settleAllocator();
        });
    report("ornith-parse", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"fields", fields, {}, {}},
            {"methods", methods, {}, {}},
            {"heap_bytes", heapBytes, {}, {}},
            {"allocs_per_class", 0, {}, allocations},
            {"attribute_objects_per_class", 0, {}, attributesPerClass},
            {"parser_allocs_per_class", 0, {}, parserAllocations},
            {"model_allocs_per_class", 0, {}, allocations - parserAllocations},
            {"storage_bytes", storageBytes, {}, {}},
            {"storage_used_bytes", storageUsed, {}, {}},
            {"storage_chunks", chunks, {}, {}}});
}

// ornith-parse with lazy attributes: each class shares its file's buffer and decodes no
// attribute list until asked (none is, in the timed rounds).
void parseLazy(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    ornith::VQClassOptions lazy;
    lazy.lazyAttributes = true;
    std::vector<std::shared_ptr<VQJavaClass>> models;
    models.reserve(set.data.size());
    int64_t fields = 0, methods = 0;
    settleAllocator();
    const size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    const double allocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& file : set.data) models.push_back(VQJavaClass::classWithData(file, lazy));
    });
    const auto heapBytes =
        static_cast<int64_t>(mallinfo2().uordblks + mallinfo2().hblkhd - heapBefore);
    // Untimed: every list decoded afterwards gives the eager parse's attribute objects.
    int64_t attributes = 0;
    const double decodeAllocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& c : models) attributes += attributeObjects(*c);
    });
    const double attributesPerClass =
        set.data.empty() ? 0.0
                         : static_cast<double>(attributes) / static_cast<double>(set.data.size());
    models.clear();
    settleAllocator();
    Timing t = timeRounds(
        options,
        [&] {
            for (const auto& file : set.data)
                models.push_back(VQJavaClass::classWithData(file, lazy));
            int64_t f = 0, m = 0, check = 0;
            for (const auto& c : models) {
                if (c->fields()) f += static_cast<int64_t>(c->fields()->size());
                if (c->methods()) m += static_cast<int64_t>(c->methods()->size());
                if (c->constructors()) m += static_cast<int64_t>(c->constructors()->size());
                check = fold(check, javaHash(c->className().value_or("")));
            }
            fields = f;
            methods = m;
            return check ^ (f << 20) ^ m;
        },
        [&] {
            models.clear();
            settleAllocator();
        });
    report("ornith-parse-lazy", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"fields", fields, {}, {}},
            {"methods", methods, {}, {}},
            {"heap_bytes", heapBytes, {}, {}},
            {"allocs_per_class", 0, {}, allocations},
            {"attribute_objects_per_class", 0, {}, attributesPerClass},
            {"decode_allocs_per_class", 0, {}, decodeAllocations}});
}

void describe(const Options& options, const std::string& dir) {
    const ClassFiles set = readClasses(dir);
    int64_t textBytes = 0;
    const double allocations = allocationsPerClass(set.data.size(), [&] {
        for (const auto& file : set.data)
            textBytes +=
                static_cast<int64_t>(VQJavaClass::classWithData(*file)->description().size());
    });
    Timing t = timeRounds(options, [&] {
        int64_t check = 0, total = 0;
        for (const auto& file : set.data) {
            const std::string text = VQJavaClass::classWithData(*file)->description();
            total += static_cast<int64_t>(text.size());
            check = fold(check, text.empty() ? 0 : text[text.size() / 2]);
        }
        textBytes = total;
        return check ^ total;
    });
    report("ornith-describe", label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"text_bytes", textBytes, {}, {}}, {"allocs_per_class", 0, {}, allocations}});
}

void javapView(const Options& options, const std::string& dir, const char* name,
               const ornith::VQJavapOptions& view) {
    const ClassFiles set = readClasses(dir);
    int64_t textBytes = 0;
    Timing t = timeRounds(options, [&] {
        int64_t check = 0, total = 0;
        for (const auto& file : set.data) {
            // The code is read from the class's bytes, which it keeps only when given them
            // to keep.
            const std::string text =
                ornith::VQJavapText(view.disassemble ? *VQJavaClass::classWithData(file)
                                                     : *VQJavaClass::classWithData(*file),
                                    view);
            total += static_cast<int64_t>(text.size());
            check = fold(check, text.empty() ? 0 : text[text.size() / 2]);
        }
        textBytes = total;
        return check ^ total;
    });
    report(name, label(dir), static_cast<int64_t>(set.data.size()), set.bytes, t,
           {{"text_bytes", textBytes, {}, {}}});
}

void zipList(const Options& options, const Archives& a) {
    Timing t = timeRounds(options, [&] {
        int64_t check = 0;
        for (size_t i = 0; i < a.paths.size(); ++i) {
            VQJarFileStore store(a.paths[i]);
            // Depends on the index being complete: the last class's package is indexed last.
            check = fold(check, store.containsPackageName(a.lastPackage[i]) ? 1 : 2);
            const auto top = store.packageNamesInPackage(std::string_view());
            check = fold(check, top ? static_cast<int64_t>(top->size()) : 0);
        }
        return check ^ a.entries;
    });
    report("ornith-zip-list", a.input, a.entries, a.fileBytes, t, archiveFields(a));
}

// Reads every class of the package and its subpackages; returns the check contribution.
void readPackage(const VQJarFileStore& store, const std::string& package, int64_t& classes,
                 int64_t& bytes, int64_t& check) {
    if (auto names = store.classNamesInPackage(package)) {
        std::string qualified;
        for (const std::string& name : *names) {
            qualified.assign(package);
            if (!qualified.empty()) qualified.push_back('.');
            qualified.append(name);
            auto data = store.dataForClassName(qualified);
            if (!data) fail("cannot read " + qualified + " from " + store.name());
            ++classes;
            bytes += static_cast<int64_t>(data->length());
            if (data->length() > 0)
                check = fold(check, static_cast<int8_t>(data->bytes()[data->length() - 1]));
        }
    }
    if (auto subpackages = store.packageNamesInPackage(package)) {
        for (const std::string& sub : *subpackages)
            readPackage(store, package.empty() ? sub : package + "." + sub, classes, bytes, check);
    }
}

void zipRead(const Options& options, const Archives& a) {
    int64_t classes = 0, bytes = 0;
    Timing t = timeRounds(options, [&] {
        int64_t check = 0;
        classes = 0;
        bytes = 0;
        const auto openArchives = std::make_shared<ornith::VQOpenArchives>(1);
        for (const std::string& path : a.paths) {
            VQJarFileStore store(path);
            store.setOptions({0, openArchives});
            readPackage(store, std::string(), classes, bytes, check);
        }
        return check ^ classes;
    });
    report("ornith-zip-read", a.input, classes, bytes, t, archiveFields(a));
}

void lex(const Options& options, const std::string& dir, const char* name, int level) {
    const std::vector<std::string> files = filesBelow(dir, ".java");
    std::vector<std::shared_ptr<const VQByteBuffer>> sources;
    sources.reserve(files.size());
    int64_t bytes = 0;
    for (const std::string& path : files) {
        sources.push_back(VQByteBuffer::bufferWithContentsOfFile(path));
        if (!sources.back()) fail("cannot read " + path);
        bytes += static_cast<int64_t>(sources.back()->length());
    }
    int64_t tokens = 0, errors = 0;
    Timing t;
    {
        SilencedStandardError silence;
        t = timeRounds(options, [&] {
            int64_t count = 0, check = 0, errorCount = 0;
            for (size_t i = 0; i < files.size(); ++i) {
                ornith::VQJavaLexer* lexer = ornith::VQOpenJavaSourceBytes(
                    sources[i]->bytes(), sources[i]->length(), files[i].c_str(), level);
                if (!lexer) fail("cannot open " + files[i]);
                for (int kind; (kind = ornith::VQNextTokenFromJavaLexer(lexer)) !=
                               ornith::VQJavaTokenEndOfInput;) {
                    ++count;
                    check += kind;
                }
                errorCount += ornith::VQJavaLexerErrorCount(lexer);
                ornith::VQCloseJavaSourceFile(lexer);
            }
            tokens = count;
            errors = errorCount;
            return check ^ (count * 0x1000000);
        });
    }
    report(name, label(dir), tokens, bytes, t,
           {{"files", static_cast<int64_t>(files.size()), {}, {}}, {"lex_errors", errors, {}, {}}});
}

// Every class of the image, fully qualified, from its package listings.
std::vector<std::string> imageClassNames(const std::string& path) {
    const ornith::VQRuntimeImageStore store(path);
    std::vector<std::string> names, pending{""};
    while (!pending.empty()) {
        const std::string package = std::move(pending.back());
        pending.pop_back();
        for (const std::string& sub :
             store.packageNamesInPackage(package).value_or(std::vector<std::string>()))
            pending.push_back(package.empty() ? sub : package + "." + sub);
        for (const std::string& name :
             store.classNamesInPackage(package).value_or(std::vector<std::string>()))
            names.push_back(package.empty() ? name : package + "." + name);
    }
    return names;
}

void imageOpen(const Options& options, const std::string& path) {
    uint32_t resources = 0;
    Timing t = timeRounds(options, [&] {
        const ornith::VQRuntimeImageStore store(path);
        resources = store.resourceCount();
        return static_cast<int64_t>(resources) ^ (store.containsPackageName("java.lang") ? 1 : 2);
    });
    report("ornith-image-open", label(path), resources, fileSize(path), t, {});
}

void imageLookup(const Options& options, const std::string& path) {
    const std::vector<std::string> names = imageClassNames(path);
    Timing t = timeRounds(options, [&] {
        const ornith::VQRuntimeImageStore store(path);
        int64_t found = 0;
        for (const std::string& name : names) found += store.containsClassName(name) ? 1 : 0;
        if (found != static_cast<int64_t>(names.size())) fail("a listed class was not found");
        return found;
    });
    report("ornith-image-lookup", label(path), static_cast<int64_t>(names.size()), 0, t, {});
}

void imageRead(const Options& options, const std::string& path) {
    const std::vector<std::string> names = imageClassNames(path);
    int64_t bytes = 0;
    Timing t = timeRounds(options, [&] {
        const ornith::VQRuntimeImageStore store(path);
        int64_t check = 0, total = 0;
        for (const std::string& name : names) {
            const auto data = store.dataForClassName(name);
            if (!data) fail("cannot read " + name + " from " + path);
            total += static_cast<int64_t>(data->length());
            check = fold(check, static_cast<int8_t>(data->bytes()[data->length() - 1]));
        }
        bytes = total;
        return check ^ total;
    });
    report("ornith-image-read", label(path), static_cast<int64_t>(names.size()), bytes, t, {});
}

// ---- Job table ---------------------------------------------------------------------------

struct Job {
    std::string name;
    std::string input;  // as printed in the record
    std::function<void()> run;
};

bool selected(const Options& options, const Job& job) {
    if (options.jobs.empty()) return true;
    for (const std::string& want : options.jobs)
        if (want == job.name || want == job.name + ":" + job.input) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const std::string corpus = std::filesystem::path(options.corpus).lexically_normal().string();
    const std::string classes = corpus + "/classes";
    const std::string src = corpus + "/src";

    std::vector<std::string> zipInputs = {corpus + "/jdk-stored.jar", corpus + "/jdk-deflated.jar"};
    const char* jarDirectory = std::getenv("JARDIR");
    const std::string guava =
        std::string(jarDirectory && *jarDirectory ? jarDirectory : "/usr/share/java") +
        "/guava.jar";
    if (ornith::VQIsRegularFile(guava)) zipInputs.push_back(guava);
    zipInputs.push_back("@" + corpus + "/jars.txt");

    std::vector<Job> jobs;
    jobs.push_back({"ornith-name-only", "classes", [&] { nameOnly(options, classes); }});
    jobs.push_back({"ornith-parse", "classes", [&] { parse(options, classes); }});
    jobs.push_back({"ornith-parse-lazy", "classes", [&] { parseLazy(options, classes); }});
    jobs.push_back({"ornith-parser-only", "classes", [&] { parserOnly(options, classes); }});
    jobs.push_back({"ornith-code", "classes", [&] { code(options, classes); }});
    jobs.push_back({"ornith-describe", "classes", [&] { describe(options, classes); }});
    jobs.push_back(
        {"ornith-javap", "classes", [&] { javapView(options, classes, "ornith-javap", {}); }});
    jobs.push_back({"ornith-javap-code", "classes", [&] {
                        javapView(options, classes, "ornith-javap-code",
                                  {.showPrivate = true, .disassemble = true});
                    }});
    for (const char* mode : {"ornith-zip-list", "ornith-zip-read"}) {
        for (const std::string& input : zipInputs) {
            const std::string name = mode;
            const std::string shown =
                input.starts_with("@") ? label(input.substr(1)) : label(input);
            jobs.push_back({name, shown, [&options, name, input] {
                                const Archives a = archives(input);
                                if (name == "ornith-zip-list")
                                    zipList(options, a);
                                else
                                    zipRead(options, a);
                            }});
        }
    }
    jobs.push_back({"ornith-lex", "src",
                    [&] { lex(options, src, "ornith-lex", ornith::VQJavaLevelClassic); }});
    jobs.push_back({"ornith-lex-25", "src",
                    [&] { lex(options, src, "ornith-lex-25", ornith::VQJavaLevelLatestRelease); }});
    std::string image;
    if (const char* given = std::getenv("ORNITH_IMAGE"); given && *given)
        image = given;
    else if (const char* home = std::getenv("JAVA_HOME"); home && *home)
        image = std::string(home) + "/lib/modules";
    if (!image.empty() && ornith::VQIsRegularFile(image)) {
        jobs.push_back({"ornith-image-open", label(image), [&] { imageOpen(options, image); }});
        jobs.push_back({"ornith-image-lookup", label(image), [&] { imageLookup(options, image); }});
        jobs.push_back({"ornith-image-read", label(image), [&] { imageRead(options, image); }});
    }

    bool any = false;
    for (const Job& job : jobs) {
        if (!selected(options, job)) continue;
        any = true;
        if (options.list) {
            std::printf("%s:%s\n", job.name.c_str(), job.input.c_str());
            continue;
        }
        try {
            job.run();
        } catch (const std::exception& e) {
            fail(job.name + " " + job.input + ": " + e.what());
        }
    }
    if (!any) fail("no job matches --jobs");
    return 0;
}
