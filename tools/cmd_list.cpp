// `ornith list [-cp PATH] [-r] [PACKAGE]`: the subpackages ("name/") and classes of a
// package on the class path, or with -r every class below it, fully qualified.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"

namespace ornith::tool {

namespace {

struct ListOptions {
    std::string package;  // "" is the root package
    bool recursive = false;
    ClassPathOptions classPath;
};

void printLine(const std::string& text, const char* suffix = "") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs(suffix, stdout);
    std::fputc('\n', stdout);
}

int runList(const ListOptions& options) {
    auto library = classLibraryForOptions(options.classPath);
    auto package = library->packageWithName(options.package);
    if (!package) {
        reportFailure(options.package, "not found");
        return 1;
    }
    if (options.recursive) {
        for (const std::string& name : sortedClassNamesBelow(*package)) printLine(name);
        return 0;
    }
    // Each group in byte order, whatever order the class path gave.
    auto packages = package->packageNames();
    auto classes = package->classNames();
    std::sort(packages.begin(), packages.end());
    std::sort(classes.begin(), classes.end());
    for (const std::string& name : packages) printLine(name, "/");
    for (const std::string& name : classes) printLine(name);
    return 0;
}

void addListCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* command = app.add_subcommand(
        "list", "List the subpackages and classes of a package on the class path");
    command->add_option("PACKAGE", options->package,
                        "Dotted package name (default: the unnamed package)");
    command->add_flag("-r,--recursive", options->recursive,
                      "Every class below the package, fully qualified");
    addClassPathOptions(command, options->classPath);
    command->callback([options, &runner] { runner = [options] { return runList(*options); }; });
}

}  // namespace

static bool registered = registerToolCommand({20, &addListCommand});

}  // namespace ornith::tool
