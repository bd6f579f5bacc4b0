// `ornith javap [OPTIONS] CLASS...`: describe --format javap under the name and options a
// javap user types (-c, -l, -s, -v, -sysinfo, -p, -package, -protected, -public,
// -constants, -cp), so that `javap -c -p -cp app.jar Main` becomes `ornith javap -c -p -cp
// app.jar Main`.

#include <memory>

#include "ToolCommand.h"
#include "ToolDescribe.h"

namespace ornith::tool {

namespace {

void addJavapCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<DescribeOptions>();
    options->format = "javap";
    CLI::App* command =
        app.add_subcommand("javap", "Print each class as JDK 25's javap does, with its options");
    command->add_option("CLASS", options->names,
                        "A class name (java.lang.String, java/lang/String, "
                        "java.util.Map.Entry), or a path to a .class file");
    addJavapOptions(command, *options);
    command->add_flag("--raw", options->raw,
                      "Write text from class files unchanged (no escaping of control characters)");
    addClassPathOptions(command, options->classPath);
    command->allow_extras();
    command->callback([options, command, &runner] {
        if (options->names.empty()) throw UsageError("javap: no CLASS given");
        checkJavapOptions(command, *options);
        runner = [options] { return runDescribe(*options); };
    });
}

}  // namespace

static bool registered = registerToolCommand({15, &addJavapCommand});

}  // namespace ornith::tool
