#pragma once
// Helpers shared by the store tests: scratch directories, files, descriptor counting and
// log capture. Tests only.

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQLog.h"

namespace ornith::testing {

// A fresh directory per test, removed with everything in it afterwards.
class ScratchDirectory {
public:
    ScratchDirectory() {
        static int serial = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        _path = std::string(::testing::TempDir()) + "ornith_stores_" + std::to_string(::getpid()) +
                "_" + (info ? std::string(info->name()) : std::string("x")) + "_" +
                std::to_string(serial++);
        std::filesystem::remove_all(_path);
        std::filesystem::create_directories(_path);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return _path; }
    std::string operator/(const std::string& relative) const { return _path + "/" + relative; }

private:
    std::string _path;
};

inline void writeFile(const std::string& path, std::string_view content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
}

template <class Bytes>
void writeBytes(const std::string& path, const Bytes& bytes) {
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Open descriptors of this process, for checking that nothing is left open.
inline int openDescriptorCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        ::closedir(dir);
    }
    return count;
}

// Collects VQLog lines while it lives.
class LogCapture {
public:
    LogCapture()
        : _previous(VQSetLogSink([this](std::string_view line) { lines.emplace_back(line); })) {}
    ~LogCapture() { VQSetLogSink(std::move(_previous)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines;

private:
    VQLogSink _previous;
};

// The reason of the VQException that `call` raises, or "(nothing raised)".
inline std::string reasonRaisedBy(const std::function<void()>& call, std::string* name = nullptr) {
    try {
        call();
    } catch (const VQException& e) {
        if (name) *name = e.name();
        return e.reason();
    }
    return "(nothing raised)";
}

inline std::string examplesPath(const std::string& relative) {
    return std::string(ORNITH_SOURCE_DIR) + "/examples/" + relative;
}

// The bytes of a buffer as text, "(null)" for an absent one.
inline std::string text(const std::shared_ptr<const VQByteBuffer>& buffer) {
    return buffer ? std::string(reinterpret_cast<const char*>(buffer->bytes()), buffer->length())
                  : "(null)";
}

}  // namespace ornith::testing
