// A main for a fuzz target built without libFuzzer: runs LLVMFuzzerTestOneInput once
// over each file named, and over every regular file (sorted by name) of each directory
// named, so that committed regression inputs and seed corpora are replayed by an
// ordinary build and its sanitizers.
//
//   fuzz_TARGET_replay FILE_OR_DIRECTORY...
//
// A target that breaks a property aborts, which fails the run; a path that does not exist
// or cannot be read fails it too, since a replay that silently ran nothing would pass.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Defined by the targets that need set-up; weak, so that the others link without one.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (in.bad()) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    // An exact-size copy, so that a sanitizer sees a read one past the input.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    bool ok = true;
    try {
        for (int i = 1; i < argc; ++i) {
            const fs::path path = argv[i];
            if (fs::is_directory(path)) {
                std::vector<fs::path> files;
                for (const auto& entry : fs::directory_iterator(path))
                    if (entry.is_regular_file()) files.push_back(entry.path());
                std::sort(files.begin(), files.end());
                for (const auto& file : files) {
                    ok = replay(file) && ok;
                    ++count;
                }
            } else if (fs::exists(path)) {
                ok = replay(path) && ok;
                ++count;
            } else {
                std::fprintf(stderr, "replay: no such file or directory: %s\n", argv[i]);
                ok = false;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "replay: %s\n", e.what());
        return 1;
    }
    // A target may have sent stdio's streams to /dev/null; the count goes to the descriptor.
    const std::string line = "replay: " + std::to_string(count) + " inputs\n";
    [[maybe_unused]] const auto written = ::write(2, line.data(), line.size());
    return ok ? 0 : 1;
}
