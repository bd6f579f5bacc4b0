#include "ToolProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace ornith::tool {

ProgressLine::ProgressLine(std::string verb)
    : _verb(std::move(verb)), _enabled(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
    if (_shown) std::fputs("\r\033[K", stderr);
}

void ProgressLine::step(std::string_view item, size_t done, size_t total) {
    if (!_enabled || done % 128 != 0) return;
    std::string line = _verb + " " + std::to_string(done);
    if (total) line += "/" + std::to_string(total);
    line += " ";
    line += item;
    // One terminal line at most: a line that wraps could not be taken back with "\r".
    winsize size{};
    const size_t columns =
        ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col : 80;
    if (line.size() > columns - 1) line.resize(columns - 1);
    // Names come from archives; none may steer the terminal.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::fflush(stdout);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    _shown = true;
}

}  // namespace ornith::tool
