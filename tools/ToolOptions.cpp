#include "ToolOptions.h"

#include <cstring>

namespace ornith::tool {

void addClassPathOptions(CLI::App* command, ClassPathOptions& options) {
    command->add_option("--class-path,--cp", options.classPath,
                        "Class path: entries separated by ';', or by ':' when there is no ';' "
                        "(default: CLASSPATH); also -cp and -classpath");
    command->add_option("--system", options.system,
                        "The JDK whose classes come first (default: JAVA_HOME, else the java "
                        "on PATH); none for no platform classes");
    command->add_flag("--no-default", options.noDefault, "The same as --system none");
    addArchiveToolOptions(command, options.archive);
}

void normaliseClassPathArguments(int argc, char** argv) {
    static char classPath[] = "--class-path";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "-cp") == 0 || std::strcmp(argv[i], "-classpath") == 0)
            argv[i] = classPath;
    }
}

}  // namespace ornith::tool
