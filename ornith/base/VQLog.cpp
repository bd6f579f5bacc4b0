#include "ornith/base/VQLog.h"

#include <cstdio>
#include <utility>

namespace ornith {
namespace {

VQLogSink& currentSink() {
    static VQLogSink sink;
    return sink;
}

thread_local unsigned muted = 0;

}  // namespace

void VQLog(std::string_view line) {
    if (muted) return;
    VQLogSink& sink = currentSink();
    if (sink) {
        sink(line);
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

VQLogSink VQSetLogSink(VQLogSink sink) {
    return std::exchange(currentSink(), std::move(sink));
}

VQLogMute::VQLogMute() noexcept {
    ++muted;
}

VQLogMute::~VQLogMute() {
    --muted;
}

}  // namespace ornith
