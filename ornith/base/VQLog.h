#pragma once
// One-line logging. The default sink writes the line and a newline to standard error;
// a host replaces it to route the library's few log lines elsewhere.

#include <functional>
#include <string_view>

namespace ornith {

using VQLogSink = std::function<void(std::string_view line)>;

// Writes one line through the current sink.
void VQLog(std::string_view line);

// Installs a new sink (an empty function restores the default) and returns the previous one.
VQLogSink VQSetLogSink(VQLogSink sink);

// While one lives, what its thread logs is dropped: for work whose lines were told once
// already, such as a class path made again for another thread.
class VQLogMute {
public:
    VQLogMute() noexcept;
    ~VQLogMute();
    VQLogMute(const VQLogMute&) = delete;
    VQLogMute& operator=(const VQLogMute&) = delete;
};

}  // namespace ornith
