#pragma once
// `ornith describe --format json`: the whole model of a class as one JSON object, written
// on one line (JSON Lines). The schema is in the README. The tool alone uses the JSON
// library; the core library does not depend on it.

#include <string>

#include <nlohmann/json.hpp>

#include "ornith/model/VQJavaClass.h"

namespace ornith::tool {

struct ClassJsonOptions {
    // The class-path entry the class came from ("classPathEntry"); null when unknown.
    const std::string* classPathEntry = nullptr;
    // Each method's "code" and "codeError" (--code).
    bool code = false;
};

nlohmann::ordered_json classJson(const VQJavaClass& javaClass,
                                 const ClassJsonOptions& options = {});

// The object as one line with its newline. Unless `raw`, every character beyond ASCII is
// written as a \u escape, so that no text of a class file reaches a terminal as itself
// (JSON escapes the C0 controls in any case).
std::string classJsonLine(const VQJavaClass& javaClass, bool raw,
                          const ClassJsonOptions& options = {});

// {"name": NAME, "error": REASON}: the line of a name that gives no class, so that a
// stream of objects lines up with the names asked for.
std::string missingJsonLine(const std::string& name, const std::string& reason, bool raw);

}  // namespace ornith::tool
