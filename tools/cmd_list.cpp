// `ornith list [-cp PATH] [-r] [PACKAGE]`: the subpackages ("name/") and classes of a
// package on the class path (the JDK's when no class path is given), or with -r every
// class below it, fully qualified. Exits 1 when an entry was unusable: the listing is
// then incomplete.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolListing.h"
#include "ToolReport.h"
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
    const ToolLibrary found = classLibraryForListings(options.classPath);
    const int status = found.unusableEntry ? 1 : 0;
    // java/lang names the package java.lang, as it does a class.
    std::string packageName = options.package;
    std::replace(packageName.begin(), packageName.end(), '/', '.');
    auto package = found.library->packageWithName(packageName);
    if (!package) {
        reportFailure(options.package, "not found");
        return 1;
    }
    if (options.recursive) {
        SortedClassNames names = sortedClassNamesBelow(*package, options.classPath.jobs);
        for (size_t i = 0; i < names.size(); ++i) printLine(names[i]);
        return status;
    }
    // Each group in byte order, whatever order the class path gave.
    auto packages = package->packageNames();
    auto classes = package->classNames();
    std::sort(packages.begin(), packages.end());
    std::sort(classes.begin(), classes.end());
    for (const std::string& name : packages) printLine(name, "/");
    for (const std::string& name : classes) printLine(name);
    return status;
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
    addJobsOption(command, options->classPath);
    command->allow_extras();
    command->callback([options, &runner] { runner = [options] { return runList(*options); }; });
}

}  // namespace

static bool registered = registerToolCommand({20, &addListCommand});

}  // namespace ornith::tool
