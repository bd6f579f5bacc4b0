#include "ornith/base/VQLog.h"

#include <cstdio>
#include <utility>

namespace ornith {
namespace {

VQLogSink& currentSink() {
    static VQLogSink sink;
    return sink;
}

}  // namespace

void VQLog(std::string_view line) {
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

}  // namespace ornith
