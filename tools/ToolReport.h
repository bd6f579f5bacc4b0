#pragma once
// How the tool says what went wrong: one line "ornith: NAME: REASON" on stderr per failure.
// The library's own log lines (a member that could not be read, a manifest that was
// ignored) come through here too, so that a command can put what a line says into its
// own report instead of the library's wording standing beside it.

#include <string>
#include <string_view>
#include <vector>

namespace ornith::tool {

// Writes "ornith: NAME: REASON" and a newline to stderr.
void reportFailure(std::string_view name, std::string_view reason);

// Routes the library's log lines through the tool (once, from main): a line logged while a
// LibraryLogCapture exists is kept by the newest one; any other is written as "ornith: LINE".
void routeLibraryLog();

class LibraryLogCapture {
public:
    LibraryLogCapture();
    ~LibraryLogCapture();
    LibraryLogCapture(const LibraryLogCapture&) = delete;
    LibraryLogCapture& operator=(const LibraryLogCapture&) = delete;

    // The lines logged while this capture was the newest, oldest first.
    const std::vector<std::string>& lines() const noexcept { return _lines; }

private:
    friend void routeLibraryLog();
    std::vector<std::string> _lines;
    LibraryLogCapture* _outer;
};

}  // namespace ornith::tool
