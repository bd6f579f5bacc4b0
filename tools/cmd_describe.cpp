// `ornith describe NAME...`: prints the declaration of each class, one after another.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "ToolCommand.h"
#include "ornith/base/VQException.h"
#include "ornith/model/VQJavaClass.h"

namespace ornith::tool {

namespace {

struct DescribeOptions {
    std::vector<std::string> names;
};

// Turns one NAME of the command line into its class; raises with the reason to report.
// Every NAME is a path to a class file for now; class names looked up on a class path
// resolve here too once the class library exists, so the loop below stays as it is.
std::shared_ptr<VQJavaClass> resolveClass(const std::string& name) {
    return VQJavaClass::classWithContentsOfFile(name);
}

int runDescribe(const DescribeOptions& options) {
    int status = 0;
    for (const std::string& name : options.names) {
        try {
            std::string text = resolveClass(name)->description();
            text.push_back('\n');
            std::fwrite(text.data(), 1, text.size(), stdout);
        } catch (const VQException& e) {
            reportFailure(name, e.reason());
            status = 1;
        } catch (const std::exception& e) {
            reportFailure(name, e.what());
            status = 1;
        }
    }
    return status;
}

void addDescribeCommand(CLI::App& app, CommandRunner& runner) {
    auto options = std::make_shared<DescribeOptions>();
    CLI::App* command = app.add_subcommand("describe", "Print the declaration of each class");
    command->add_option("NAME", options->names, "Path to a .class file")->required();
    command->callback([options, &runner] { runner = [options] { return runDescribe(*options); }; });
}

}  // namespace

static bool registered = registerToolCommand({10, &addDescribeCommand});

}  // namespace ornith::tool
