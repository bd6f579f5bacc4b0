#pragma once
// Helpers shared by the lexer tests: source files made from bytes, and stderr captured
// around a call (the error reporter writes to the process's stderr).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace ornith::testing {

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
    OutputCapture(std::FILE* stream, int fd) : _stream(stream), _fd(fd) {
        std::fflush(_stream);
        _path = ::testing::TempDir() + "ornith_lexer_output_" + std::to_string(::getpid()) + "_" +
                std::to_string(++_serial);
        std::FILE* sink = std::fopen(_path.c_str(), "wb");
        _saved = ::dup(_fd);
        ::dup2(::fileno(sink), _fd);
        std::fclose(sink);
    }
    ~OutputCapture() { text(); }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    std::string text() {
        if (_saved >= 0) {
            std::fflush(_stream);
            ::dup2(_saved, _fd);
            ::close(_saved);
            _saved = -1;
            std::ifstream in(_path, std::ios::binary);
            std::ostringstream all;
            all << in.rdbuf();
            _captured = all.str();
            std::remove(_path.c_str());
        }
        return _captured;
    }

private:
    static inline int _serial = 0;
    std::FILE* _stream;
    int _fd;
    std::string _path;
    std::string _captured;
    int _saved = -1;
};

struct StderrCapture : OutputCapture {
    StderrCapture() : OutputCapture(stderr, 2) {}
};

struct StdoutCapture : OutputCapture {
    StdoutCapture() : OutputCapture(stdout, 1) {}
};

}  // namespace ornith::testing
