#include "ToolReport.h"

#include <cstdio>

#include "ornith/base/VQLog.h"

namespace ornith::tool {

namespace {
// Per thread: the library logs on whichever thread reads, and each worker keeps its own.
thread_local LibraryLogCapture* currentCapture = nullptr;
thread_local OutputCapture* currentOutput = nullptr;
constexpr size_t kKeptTextCapacity = size_t{4} << 20;

void writeLine(std::string_view prefix, std::string_view text) {
    std::fflush(stdout);  // keep stdout and stderr in order when both go to one terminal
    std::fprintf(stderr, "ornith: %.*s%.*s\n", static_cast<int>(prefix.size()), prefix.data(),
                 static_cast<int>(text.size()), text.data());
}

// After output was appended to the text: runs of output make one piece.
void endOutputPiece(CapturedOutput& out) {
    if (!out.pieces.empty() && !out.pieces.back().diagnostic)
        out.pieces.back().end = out.text.size();
    else
        out.pieces.push_back({false, out.text.size()});
}
}  // namespace

void writeCapturedLine(std::string_view prefix, std::string_view text) {
    if (!currentOutput) {
        writeLine(prefix, text);
        return;
    }
    CapturedOutput& out = currentOutput->_into;
    out.text.append("ornith: ").append(prefix).append(text).push_back('\n');
    out.pieces.push_back({true, out.text.size()});
}

void reportFailure(std::string_view name, std::string_view reason) {
    std::string prefix(name);
    prefix += ": ";
    writeCapturedLine(prefix, reason);
}

void writeOutput(std::string_view text) {
    if (!currentOutput) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
    }
    CapturedOutput& out = currentOutput->_into;
    out.text.append(text);
    endOutputPiece(out);
}

void writeBuiltOutput(const std::function<void(std::string& out)>& build) {
    if (!currentOutput) {
        thread_local std::string text;
        text.clear();
        build(text);
        std::fwrite(text.data(), 1, text.size(), stdout);
        // One huge class's text is not kept for the rest of the run.
        if (text.capacity() > kKeptTextCapacity) std::string().swap(text);
        return;
    }
    CapturedOutput& out = currentOutput->_into;
    // What a build that fails part way appended is taken back: it wrote nothing.
    const size_t start = out.text.size();
    try {
        build(out.text);
    } catch (...) {
        out.text.resize(start);
        throw;
    }
    endOutputPiece(out);
}

void CapturedOutput::writeOut() const {
    size_t start = 0;
    for (const Piece& piece : pieces) {
        const size_t length = piece.end - start;
        if (piece.diagnostic) {
            std::fflush(stdout);
            std::fwrite(text.data() + start, 1, length, stderr);
        } else {
            std::fwrite(text.data() + start, 1, length, stdout);
        }
        start = piece.end;
    }
}

OutputCapture::OutputCapture(CapturedOutput& into) noexcept : _into(into), _outer(currentOutput) {
    currentOutput = this;
}

OutputCapture::~OutputCapture() {
    currentOutput = _outer;
}

LibraryLogCapture::LibraryLogCapture() : _outer(currentCapture) {
    currentCapture = this;
}

LibraryLogCapture::~LibraryLogCapture() {
    currentCapture = _outer;
}

void routeLibraryLog() {
    VQSetLogSink([](std::string_view line) {
        if (currentCapture)
            currentCapture->_lines.emplace_back(line);
        else
            writeCapturedLine("", line);
    });
}

}  // namespace ornith::tool
