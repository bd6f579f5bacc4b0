#include "ToolArchiveOptions.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ToolReport.h"
#include "ornith/library/VQClassLibrary.h"

namespace ornith::tool {
namespace {

// The release the tool reads multi-release jars for when no JDK can be found.
constexpr int kFallbackRelease = 25;

std::optional<int> releaseOfJdk(const std::filesystem::path& home) {
    std::ifstream in(home / "release");
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return featureReleaseFromReleaseFile(text.str());
}

}  // namespace

void addArchiveToolOptions(CLI::App* command, ArchiveToolOptions& options) {
    command
        ->add_option("--multi-release", options.multiRelease,
                     "Read multi-release jars for this Java release (default: the selected "
                     "JDK's, else 25)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check([](const std::string& value) {
            const bool number = !value.empty() && value.size() <= 6 &&
                                value.find_first_not_of("0123456789") == std::string::npos;
            return number && std::stoi(value) <= 100000
                       ? std::string()
                       : "'" + value + "' is not a Java release (a number from 0 to 100000)";
        });
    command->add_flag("--verbose", options.verbose,
                      "List the manifest Class-Path entries that name nothing");
    command
        ->add_option_function<std::string>(
            "--layout",
            [&options](const std::string& value) {
                options.layout = *VQArchiveLayoutNamed(value == "automatic" ? "auto" : value);
            },
            "Read archives as their loaders do: auto (the default: by their contents), boot "
            "(BOOT-INF/classes, BOOT-INF/lib), war (WEB-INF/classes, WEB-INF/lib), ear (lib/, "
            "modules) or plain (as they are)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check([](const std::string& value) {
            return VQArchiveLayoutNamed(value)
                       ? std::string()
                       : "'" + value + "' is no layout (auto, boot, war, ear or plain)";
        });
    command
        ->add_option("--inflate-budget", options.inflateBudgetMiB,
                     "MiB that compressed archives inside archives may take inflated, in all "
                     "(default 1024)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Range(uint64_t{0}, uint64_t{1} << 30));
}

std::optional<int> featureReleaseFromReleaseFile(const std::string& text) {
    const std::string key = "JAVA_VERSION=";
    size_t at = 0;
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') break;
        at += key.size();
    }
    if (at == std::string::npos) return std::nullopt;
    at += key.size();
    if (at < text.size() && text[at] == '"') ++at;
    auto number = [&](size_t& i) -> std::optional<int> {
        int value = 0;
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 6)
            value = value * 10 + (text[i++] - '0');
        if (i == start) return std::nullopt;
        return value;
    };
    std::optional<int> first = number(at);
    if (!first) return std::nullopt;
    // "1.8.0_x": releases before 9 were numbered 1.N.
    if (*first == 1 && at < text.size() && text[at] == '.') {
        ++at;
        return number(at);
    }
    return first;
}

int jdkFeatureRelease(const JdkChoice& jdk) {
    // With the platform turned off, jars are still read for the Java that would run them.
    const JdkChoice chosen =
        jdk.source == JdkChoice::Source::disabled ? chooseJdk(std::nullopt, false) : jdk;
    if (!chosen.home.empty())
        if (auto release = releaseOfJdk(chosen.home)) return *release;
    return kFallbackRelease;
}

void applyArchiveToolOptions(VQClassLibrary& library, const ArchiveToolOptions& options,
                             const JdkChoice& jdk) {
    VQClassLibraryArchiveOptions archive;
    archive.followManifestClassPath = true;
    archive.expandWildcards = true;
    archive.multiReleaseVersion =
        options.multiRelease ? *options.multiRelease : jdkFeatureRelease(jdk);
    archive.maxOpenArchives = kToolOpenArchives;
    archive.nestedEntries = true;
    archive.layout = options.layout;
    archive.nesting.inflateBudget = options.inflateBudgetMiB << 20;
    if (options.verbose)
        archive.onMissingClassPathEntry = [](const std::string& jar, const std::string& missing) {
            reportFailure(missing, "not found, skipped (named in the Class-Path of " + jar + ")");
        };
    library.setArchiveOptions(std::move(archive));
}

}  // namespace ornith::tool
