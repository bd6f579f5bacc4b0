#pragma once
// What `ornith describe` and its javap-style alias `ornith javap` share: the options of
// one run, the javap options both take, and the run itself.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "ToolOptions.h"

namespace ornith::tool {

struct DescribeOptions {
    std::vector<std::string> names;
    bool all = false;
    ClassPathOptions classPath;
    std::string format = "text";
    bool raw = false;   // the library's text unescaped
    bool code = false;  // --code: each method's body in the JSON
    // javap's own options.
    bool showPrivate = false;    // -p, -private
    bool showPackage = false;    // -package (javap's default)
    bool showProtected = false;  // -protected
    bool showPublic = false;     // -public
    bool showConstants = false;  // -constants
    bool disassemble = false;    // -c
    bool lineNumbers = false;    // -l
    bool descriptors = false;    // -s
    bool verbose = false;        // -v, -verbose
    bool sysInfo = false;        // -sysinfo
};

// Adds -p, --package, --protected, --public, --constants, -c, -l, -s, -v and --sysinfo
// (toolArguments takes javap's single-dash spellings of them).
void addJavapOptions(CLI::App* command, DescribeOptions& options);
// A UsageError for options that javap does not combine (two access levels), naming the
// command.
void checkJavapOptions(const CLI::App* command, const DescribeOptions& options);

// Describes every NAME (or, with all, every class on the class path); the exit status.
int runDescribe(const DescribeOptions& options);

}  // namespace ornith::tool
