#pragma once
// Helpers shared by the lexer tests: source files made from bytes, and stderr captured
// around a call (the error reporter writes to the process's stderr).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace ornith::lexer_testing {

// Writes `bytes` to a fresh file under the test temp directory and returns its path.
inline std::string writeSource(const std::string& bytes, const std::string& suffix = ".java") {
    static int serial = 0;
    std::string path = ::testing::TempDir() + "ornith_lexer_" + std::to_string(::getpid()) + "_" +
                       std::to_string(++serial) + suffix;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Redirects a standard stream's file descriptor into a temporary file for its lifetime;
// text() ends the capture and returns what was written.
class OutputCapture {
public:
    OutputCapture(std::FILE* stream, int fd) : stream_(stream), fd_(fd) {
        std::fflush(stream_);
        path_ = ::testing::TempDir() + "ornith_lexer_output_" + std::to_string(::getpid()) + "_" +
                std::to_string(++serial_);
        std::FILE* sink = std::fopen(path_.c_str(), "wb");
        saved_ = ::dup(fd_);
        ::dup2(::fileno(sink), fd_);
        std::fclose(sink);
    }
    ~OutputCapture() { text(); }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    std::string text() {
        if (saved_ >= 0) {
            std::fflush(stream_);
            ::dup2(saved_, fd_);
            ::close(saved_);
            saved_ = -1;
            std::ifstream in(path_, std::ios::binary);
            std::ostringstream all;
            all << in.rdbuf();
            captured_ = all.str();
            std::remove(path_.c_str());
        }
        return captured_;
    }

private:
    static inline int serial_ = 0;
    std::FILE* stream_;
    int fd_;
    std::string path_;
    std::string captured_;
    int saved_ = -1;
};

struct StderrCapture : OutputCapture {
    StderrCapture() : OutputCapture(stderr, 2) {}
};

struct StdoutCapture : OutputCapture {
    StdoutCapture() : OutputCapture(stdout, 1) {}
};

}  // namespace ornith::lexer_testing
