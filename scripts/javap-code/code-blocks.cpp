// Prints what VQAppendJavapCode gives for every method with code of each class file named
// on the command line, one block per method in file order, each after a line
// "=== CLASSFILE #N" (N counts the methods that have code). The comparison script sets
// it beside javap's Code blocks.
//
// usage: code-blocks -c|-cl|-v CLASSFILE...
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "ornith/ornith.h"

using namespace ornith;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    VQJavapCodeOptions options;
    options.instructions = std::strcmp(argv[1], "-v") != 0;
    options.lines = std::strcmp(argv[1], "-cl") == 0;
    options.verbose = std::strcmp(argv[1], "-v") == 0;
    std::string out;
    for (int a = 2; a < argc; ++a) {
        try {
            auto k = VQJavaClass::classWithContentsOfFile(argv[a]);
            std::vector<const VQJavaMethod*> byPosition;
            auto add = [&](const VQJavaMethod* m) {
                if (byPosition.size() <= m->tablePosition())
                    byPosition.resize(m->tablePosition() + 1);
                byPosition[m->tablePosition()] = m;
            };
            if (k->methods())
                for (const VQJavaMethod* m : k->methods()->items()) add(m);
            if (k->constructors())
                for (const VQJavaMethod* m : k->constructors()->items()) add(m);
            int n = 0;
            for (const VQJavaMethod* m : byPosition) {
                if (!m || !k->code(*m)) continue;
                out = "=== " + std::string(argv[a]) + " #" + std::to_string(n++) + "\n";
                VQAppendJavapCode(*k, *m, options, out);
                std::fwrite(out.data(), 1, out.size(), stdout);
            }
        } catch (const std::exception& e) {
            std::printf("=== %s failed: %s\n", argv[a], e.what());
        }
    }
    return 0;
}
