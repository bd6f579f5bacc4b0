// deps_example CLASSPATH CLASS...: for each class, every class it references and the
// class-path entry (with the module, for a runtime image) that supplies it.
//
//   $ deps_example /usr/lib/jvm/temurin-25-jdk-amd64/lib/modules:examples/classes p.Point
//   p.Point
//      java.io.Serializable  /usr/lib/jvm/temurin-25-jdk-amd64/lib/modules  java.base
//      ...

#include <cstdio>
#include <string>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/stores/VQClassStore.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: deps_example CLASSPATH CLASS...\n");
        return 2;
    }
    std::string path = argv[1];
    // The library separates entries with ';'.
    for (char& c : path)
        if (c == ':') c = ';';
    auto library = ornith::VQClassLibrary::classLibraryWithClassPath(path);
    ornith::VQDependencyScanner scanner;
    ornith::VQDependencyResolver resolver(library);
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        const auto data = library->dataForClassName(argv[i]);
        if (!data) {
            std::fprintf(stderr, "deps_example: %s: not found\n", argv[i]);
            status = 1;
            continue;
        }
        const ornith::VQClassReferences& found = scanner.scanClassData(data->span());
        std::printf("%s\n", found.className.c_str());
        if (found.failure) std::printf("   (read up to a fault: %s)\n", found.failure->c_str());
        for (const std::string& name : found.referencedClasses) {
            const ornith::VQClassSupplier& supplier = resolver.supplierOf(name);
            std::printf("   %s  %s  %s\n", name.c_str(),
                        supplier ? supplier.store->name().c_str() : "not found",
                        supplier.module ? supplier.module->c_str() : "");
        }
    }
    return status;
}
