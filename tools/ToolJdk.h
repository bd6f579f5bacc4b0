#pragma once
// Which JDK's platform classes the tool reads, and from where.
//
// The JDK is, first match wins: the one --system names; the one JAVA_HOME names; the
// one whose `java` comes first on PATH (symbolic links followed to its home). Only that
// one is ever used: a JDK that lacks what is needed is reported, never replaced by
// another that happens to be installed.

#include <optional>
#include <string>

namespace ornith::tool {

struct JdkChoice {
    enum class Source { disabled, option, javaHome, path, none };
    Source source = Source::none;
    std::string home;  // empty unless a JDK was chosen
};

// `system` is the --system value ("none" turns the platform off, as does noDefault).
JdkChoice chooseJdk(const std::optional<std::string>& system, bool noDefault);

// The home of the JDK of the first executable `java` on PATH, or absent.
std::optional<std::string> jdkHomeOfJavaOnPath();

}  // namespace ornith::tool
