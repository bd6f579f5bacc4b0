// Lists every method that the classes of a class path call: one line per distinct
// callee, "owner.name descriptor", sorted. It walks each method's instructions with the
// decoder and reads the pool entries they name; nothing is formatted for a person.
//
// usage: called-methods CLASSPATH     (a jar, a directory of classes, or a path of them)
#include <cstdio>
#include <exception>
#include <set>
#include <string>

#include "ornith/ornith.h"

using namespace ornith;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: called-methods CLASSPATH\n");
        return 2;
    }
    auto library = VQClassLibrary::classLibraryWithClassPath(std::string(argv[1]));
    std::set<std::string> called;
    int failures = 0;
    std::string owner, name, descriptor;
    auto enumerator = library->classNameEnumerator();
    for (const std::string& className : *enumerator) {
        try {
            auto k = library->classWithName(className);
            const VQConstantPoolEntries* pool = k ? k->constantPool() : nullptr;
            const VQClassFileLayout* layout = k ? k->classFileLayout() : nullptr;
            if (!pool) continue;
            for (const VQLayoutMember& method : layout->methods()) {
                const VQLayoutAttribute* attribute = method.attribute("Code");
                if (!attribute) continue;
                VQCodeAttribute code(attribute->info, *pool);
                VQInstructionDecoder decoder = code.instructions();
                VQInstruction i;
                while (decoder.next(i)) {
                    if (i.form != VQOperandForm::method && i.form != VQOperandForm::interfaceMethod)
                        continue;
                    // A method reference: its class, then its name and descriptor.
                    const uint16_t nameAndType = pool->secondIndex(i.poolIndex);
                    pool->text(pool->firstIndex(i.poolIndex), owner);
                    pool->text(pool->firstIndex(nameAndType), name);
                    pool->text(pool->secondIndex(nameAndType), descriptor);
                    called.insert(owner + "." + name + " " + descriptor);
                }
                if (decoder.fault() != VQCodeFault::none) {
                    std::fprintf(stderr, "called-methods: %s: %s at %u\n", className.c_str(),
                                 VQCodeFaultReason(decoder.fault()), decoder.faultOffset());
                    ++failures;
                }
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "called-methods: %s: %s\n", className.c_str(), e.what());
            ++failures;
        }
    }
    for (const std::string& line : called) std::printf("%s\n", line.c_str());
    return failures ? 1 : 0;
}
