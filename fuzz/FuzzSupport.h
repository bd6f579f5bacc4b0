#pragma once
// Helpers shared by the libFuzzer targets.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ornith::fuzz {

// A property that the library promises and an input broke: abort so that libFuzzer keeps
// the input as a crash, with a line that says which promise it was.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::abort();
}

#define ORNITH_FUZZ_CHECK(cond)                                     \
    do {                                                            \
        if (!(cond)) ::ornith::fuzz::fail(#cond " (" __FILE__ ")"); \
    } while (0)

// One file per process that a target rewrites with every input: the readers under test
// take paths, not bytes. Kept in memory-backed /dev/shm when there is one.
class ScratchFile {
public:
    explicit ScratchFile(std::string_view suffix) {
        const char* dir = access("/dev/shm", W_OK) == 0
                              ? "/dev/shm"
                              : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        _path = std::string(dir) + "/ornith-fuzz-" + std::to_string(getpid()) + std::string(suffix);
    }
    ~ScratchFile() { unlink(_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's content; aborts when the file system refuses, since a target that
    // silently tests an old file would report nothing useful.
    const std::string& write(const uint8_t* data, size_t size) {
        std::FILE* f = std::fopen(_path.c_str(), "wb");
        if (!f) fail("cannot create the scratch file");
        if (size && std::fwrite(data, 1, size, f) != size) fail("cannot write the scratch file");
        if (std::fclose(f) != 0) fail("cannot close the scratch file");
        return _path;
    }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

}  // namespace ornith::fuzz
