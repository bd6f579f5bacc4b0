// `ornith which [-cp PATH] CLASS...`: the class-path entry that supplies each class: the
// JDK's runtime image (or module file) for a platform class, the entry for any other (for
// a single class-file entry, the class name it holds).

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ToolClassPath.h"
#include "ToolCommand.h"
#include "ToolNames.h"
#include "ToolReport.h"
#include "ToolSuggestions.h"
#include "ornith/library/VQClassLibrary.h"

namespace ornith::tool {

namespace {

struct WhichOptions {
    std::vector<std::string> names;
    ClassPathOptions classPath;
};

int runWhich(const WhichOptions& options) {
    ToolLibrary found = classLibraryForLookups(options.classPath);
    int status = 0;
    for (const std::string& name : options.names) {
        const auto className = findClassName(found, name);
        if (auto store = className ? found.library->classStoreNameForClassWithName(*className)
                                   : std::nullopt) {
            store->push_back('\n');
            std::fwrite(store->data(), 1, store->size(), stdout);
        } else {
            reportNotFound(found, name);
            status = 1;
        }
    }
    return status;
}

void addWhichCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<WhichOptions>();
    CLI::App* command =
        app.add_subcommand("which", "Print the class-path entry that supplies each class");
    command
        ->add_option("CLASS", options->names,
                     "A class name: java.lang.String, java/lang/String or java.util.Map.Entry")
        ->required();
    addClassPathOptions(command, options->classPath);
    command->callback([options, &runner] { runner = [options] { return runWhich(*options); }; });
}

}  // namespace

static bool registered = registerToolCommand({30, &addWhichCommand});

}  // namespace ornith::tool
