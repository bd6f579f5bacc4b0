// `ornith which [-cp PATH] CLASS...`: the class-path entry that supplies each class: the
// JDK's runtime image (or module file) for a platform class, the entry for any other (for
// a single class-file entry, the class name it holds). A class of a runtime image comes
// with its module after a tab; given several names, each line starts with the name as
// typed and a tab.

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
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQRuntimeImageStore.h"

namespace ornith::tool {

namespace {

struct WhichOptions {
    std::vector<std::string> names;
    ClassPathOptions classPath;
};

// The first store that holds the class, or null.
const VQClassStore* storeHolding(const VQClassLibrary& library, const std::string& className) {
    for (const auto& store : library.classStores())
        if (store->containsClassName(className)) return store.get();
    return nullptr;
}

int runWhich(const WhichOptions& options) {
    ToolLibrary found = classLibraryForLookups(options.classPath);
    const bool several = options.names.size() > 1;
    int status = 0;
    std::string line;
    for (const std::string& name : options.names) {
        const auto className = findClassName(found, name);
        const VQClassStore* store = className ? storeHolding(*found.library, *className) : nullptr;
        if (!store) {
            reportNotFound(found, name);
            status = 1;
            continue;
        }
        line.clear();
        if (several) line.append(name).push_back('\t');
        line.append(store->name());
        if (const auto* image = dynamic_cast<const VQRuntimeImageStore*>(store))
            if (const auto module = image->moduleNameForClassName(*className))
                line.append("\t").append(*module);
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return status;
}

void addWhichCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<WhichOptions>();
    CLI::App* command =
        app.add_subcommand("which", "Print the class-path entry that supplies each class");
    command->add_option("CLASS", options->names,
                        "A class name: java.lang.String, java/lang/String or java.util.Map.Entry");
    addClassPathOptions(command, options->classPath);
    command->allow_extras();
    command->callback([options, &runner] {
        if (options->names.empty()) throw UsageError("which: no class name given");
        runner = [options] { return runWhich(*options); };
    });
}

}  // namespace

static bool registered = registerToolCommand({30, &addWhichCommand});

}  // namespace ornith::tool
