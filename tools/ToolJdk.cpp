#include "ToolJdk.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace ornith::tool {

std::optional<std::string> jdkHomeOfJavaOnPath() {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (true) {
        const size_t colon = rest.find(':');
        const std::string directory(rest.substr(0, colon));
        if (!directory.empty()) {
            const std::string candidate = directory + "/java";
            if (::access(candidate.c_str(), X_OK) == 0) {
                // HOME/bin/java, reached through whatever links (alternatives,
                // /usr/bin/java) lead to it. The first java is the one: it is what `java`
                // runs.
                std::error_code error;
                const auto real = std::filesystem::canonical(candidate, error);
                if (error) return std::nullopt;
                return real.parent_path().parent_path().string();
            }
        }
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

JdkChoice chooseJdk(const std::optional<std::string>& system, bool noDefault) {
    if (noDefault || (system && *system == "none")) return {JdkChoice::Source::disabled, {}};
    if (system) return {JdkChoice::Source::option, *system};
    if (const char* home = std::getenv("JAVA_HOME"); home && *home)
        return {JdkChoice::Source::javaHome, home};
    if (auto home = jdkHomeOfJavaOnPath()) return {JdkChoice::Source::path, *home};
    return {JdkChoice::Source::none, {}};
}

}  // namespace ornith::tool
