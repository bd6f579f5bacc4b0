#include "ToolReport.h"

#include <cstdio>

#include "ornith/base/VQLog.h"

namespace ornith::tool {

namespace {
LibraryLogCapture* currentCapture = nullptr;

void writeLine(std::string_view prefix, std::string_view text) {
    std::fflush(stdout);  // keep stdout and stderr in order when both go to one terminal
    std::fprintf(stderr, "ornith: %.*s%.*s\n", static_cast<int>(prefix.size()), prefix.data(),
                 static_cast<int>(text.size()), text.data());
}
}  // namespace

void reportFailure(std::string_view name, std::string_view reason) {
    std::string prefix(name);
    prefix += ": ";
    writeLine(prefix, reason);
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
            writeLine("", line);
    });
}

}  // namespace ornith::tool
