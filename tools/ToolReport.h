#pragma once
// How the tool says what went wrong: one line "ornith: NAME: REASON" on stderr per failure.
// The library's own log lines (a member that could not be read, a manifest that was
// ignored) come through here too, so that a command can put what a line says into its
// own report instead of the library's wording standing beside it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ornith::tool {

// Writes "ornith: NAME: REASON" and a newline to stderr.
void reportFailure(std::string_view name, std::string_view reason);
// Writes the text to stdout. Output that a command may write from a worker thread goes
// through here (and its failures through reportFailure), so that an OutputCapture keeps it.
void writeOutput(std::string_view text);
// Writes what `build` appends to the string it is given: the capture's own text when
// one is kept, else a buffer of this thread's, so that a large text is neither built
// anew each time nor copied after it is built.
void writeBuiltOutput(const std::function<void(std::string& out)>& build);

// What a thread wrote through writeOutput, reportFailure and the library's log: stdout
// text and stderr lines in the order written.
struct CapturedOutput {
    struct Piece {
        bool diagnostic;  // for stderr
        size_t end;       // of the piece in text
    };
    std::string text;
    std::vector<Piece> pieces;

    // Writes what was kept, as it would have been written at the time.
    void writeOut() const;
};

// While it exists, what this thread writes goes into `into` (ToolParallel.h writes it out
// later, in the order of the items). Captures on one thread nest.
class OutputCapture {
public:
    explicit OutputCapture(CapturedOutput& into) noexcept;
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

private:
    friend void writeOutput(std::string_view text);
    friend void writeBuiltOutput(const std::function<void(std::string& out)>& build);
    friend void writeCapturedLine(std::string_view prefix, std::string_view text);
    CapturedOutput& _into;
    OutputCapture* _outer;
};

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
