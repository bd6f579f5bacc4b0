#include "ToolClassPath.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ToolCommand.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith::tool {

void addClassPathOptions(CLI::App* command, ClassPathOptions& options) {
    command->add_option("--class-path,--cp", options.classPath,
                        "Class path: entries separated by ';', or by ':' when there is no ';' "
                        "(default: CLASSPATH, else the JDK's modules)");
    command->add_flag("--no-default", options.noDefault,
                      "Without -cp or CLASSPATH, use no class path instead of the JDK's modules");
    addArchiveToolOptions(command, options.archive);
}

void normaliseClassPathArguments(int argc, char** argv) {
    static char classPath[] = "--class-path";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "-cp") == 0) argv[i] = classPath;
    }
}

std::vector<std::string> splitClassPath(std::string_view text) {
    std::vector<std::string> pieces;
    if (text.find(';') != std::string_view::npos) {
        size_t start = 0;
        for (size_t stop; (stop = text.find(';', start)) != std::string_view::npos;
             start = stop + 1)
            pieces.emplace_back(text.substr(start, stop - start));
        pieces.emplace_back(text.substr(start));
        return pieces;
    }
    // ':' separates, except inside ${NAME:...}, where it belongs to the reference.
    std::string piece;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            const size_t close = text.find('}', i);
            const size_t end = close == std::string_view::npos ? text.size() : close + 1;
            piece.append(text.substr(i, end - i));
            i = end - 1;
        } else if (c == ':') {
            pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    pieces.push_back(std::move(piece));
    return pieces;
}

namespace {

std::vector<std::string> modulesIn(const std::filesystem::path& home) {
    std::vector<std::string> modules;
    std::error_code error;
    for (std::filesystem::directory_iterator it(home / "jmods", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.ends_with(".jmod") && it->is_regular_file(error))
            modules.push_back(it->path().string());
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

}  // namespace

std::vector<std::string> defaultJdkModules() {
    if (const char* home = std::getenv("JAVA_HOME"); home && *home) {
        auto modules = modulesIn(home);
        if (!modules.empty()) return modules;
    }
    // The JDK of each `java` on PATH in turn: HOME/bin/java, reached through whatever
    // symbolic links (alternatives, /usr/bin/java) lead to it.
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (true) {
        const size_t colon = rest.find(':');
        const std::string directory(rest.substr(0, colon));
        if (!directory.empty()) {
            const std::string candidate = directory + "/java";
            if (::access(candidate.c_str(), X_OK) == 0) {
                std::error_code error;
                const auto real = std::filesystem::canonical(candidate, error);
                if (!error) {
                    auto modules = modulesIn(real.parent_path().parent_path());
                    if (!modules.empty()) return modules;
                }
            }
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

std::shared_ptr<VQClassLibrary> classLibraryForOptions(const ClassPathOptions& options) {
    std::vector<std::string> entries;
    // The JDK's own modules are not second-guessed: each is indexed only when a lookup
    // reaches it, and asking it for classes here would index all of them up front.
    bool checkEntries = true;
    if (options.classPath) {
        entries = splitClassPath(*options.classPath);
    } else if (const char* variable = std::getenv("CLASSPATH"); variable && *variable) {
        entries = splitClassPath(variable);
    } else if (!options.noDefault) {
        entries = defaultJdkModules();
        checkEntries = false;
    }

    auto library = VQClassLibrary::classLibrary();
    applyArchiveToolOptions(*library, options.archive);
    const VQClassLibrary::DroppedEntryHandler report = [](const std::string& entry,
                                                          const std::exception& failure) {
        reportFailure(entry, failure.what());
    };
    for (const std::string& entry : entries) {
        // An empty piece (a doubled or trailing separator) names nothing worth a word.
        if (entry.empty()) continue;
        const size_t before = library->_stores().size();
        library->appendToClassPath(entry, report);
        if (library->_stores().size() == before || !checkEntries) continue;
        // An archive store is made for any file with the right suffix; one that indexed
        // nothing was no archive or an empty one, which the user will want to know.
        if (!library->_stores()[before]->containsPackageName(""))
            reportFailure(entry, "no classes found in it");
    }
    return library;
}

std::vector<std::string> sortedClassNamesBelow(const VQJavaPackage& package) {
    std::vector<std::string> names;
    {
        ProgressLine progress("listing");
        const auto enumerator = package.classNameEnumerator();
        for (const std::string& name : *enumerator) {
            names.push_back(name);
            progress.step(name, names.size());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

ProgressLine::ProgressLine(std::string verb)
    : _verb(std::move(verb)), _enabled(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
    if (_shown) std::fputs("\r\033[K", stderr);
}

void ProgressLine::step(std::string_view item, size_t done, size_t total) {
    if (!_enabled || done % 128 != 0) return;
    std::string line = _verb + " " + std::to_string(done);
    if (total) line += "/" + std::to_string(total);
    line += " ";
    line += item;
    // One terminal line at most: a line that wraps could not be taken back with "\r".
    winsize size{};
    const size_t columns =
        ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col : 80;
    if (line.size() > columns - 1) line.resize(columns - 1);
    // Names come from archives; none may steer the terminal.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::fflush(stdout);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    _shown = true;
}

}  // namespace ornith::tool
