#pragma once
// Runs the built ornith tool for end-to-end tests and captures what it prints.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ornith::tool::testing {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `ornith ARGS...` from the source tree, with `env` (for example "CLASSPATH= ")
// put before the command, and returns its exit status, stdout and stderr.
inline ToolResult runTool(const std::vector<std::string>& args, const std::string& env = "") {
    static int serial = 0;
    std::string base = std::string(::testing::TempDir()) + "ornith_tool_" +
                       std::to_string(::getpid()) + "_" + std::to_string(++serial);
    std::string command =
        "cd " + shellQuote(ORNITH_SOURCE_DIR) + " && " + env + " " + shellQuote(ORNITH_TOOL_PATH);
    for (const auto& a : args) command += " " + shellQuote(a);
    command += " >" + shellQuote(base + ".out") + " 2>" + shellQuote(base + ".err") + " </dev/null";
    ToolResult result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(base + ".out");
    result.err = slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return result;
}

}  // namespace ornith::tool::testing
