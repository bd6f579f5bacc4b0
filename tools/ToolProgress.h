#pragma once
// A one-line progress report on stderr for long walks (listing or describing a whole
// class path), shown only when stderr is a terminal; the line is cleared when the object
// goes, so that nothing of it stays in the output.

#include <cstddef>
#include <string>
#include <string_view>

namespace ornith::tool {

class ProgressLine {
public:
    explicit ProgressLine(std::string verb);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Called once per item; redraws now and then.
    void step(std::string_view item, size_t done, size_t total = 0);

private:
    std::string _verb;
    bool _enabled;
    bool _shown = false;
};

}  // namespace ornith::tool
