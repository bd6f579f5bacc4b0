#pragma once
// `ornith describe --format json`: the whole model of a class as one JSON object, written
// on one line (JSON Lines). The schema is in the README. The tool alone uses the JSON
// library; the core library does not depend on it.

#include <string>

#include <nlohmann/json.hpp>

#include "ornith/model/VQJavaClass.h"

namespace ornith::tool {

nlohmann::ordered_json classJson(const VQJavaClass& javaClass);

// The object as one line with its newline. Unless `raw`, every character beyond ASCII is
// written as a \u escape, so that no text of a class file reaches a terminal as itself
// (JSON escapes the C0 controls in any case).
std::string classJsonLine(const VQJavaClass& javaClass, bool raw);

}  // namespace ornith::tool
