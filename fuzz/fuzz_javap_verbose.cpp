// javap's whole view (-v -c -l -s -p -constants, and -sysinfo's lines) over arbitrary
// bytes kept with their class, as the class library keeps them: the constant pool, the
// file's tables and every attribute are read again from the bytes, and none of it may
// read outside them, crash or hang. A class that is made prints, whatever its attributes
// hold, a text whose lines all end, the same text twice.

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapText.h"

using namespace ornith;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The buffer holds exactly the input: a read past it is one past the allocation.
    std::shared_ptr<const VQByteBuffer> bytes = VQByteBuffer::bufferWithBytes(data, size);
    std::shared_ptr<VQJavaClass> javaClass;
    try {
        javaClass = VQJavaClass::classWithData(bytes);
    } catch (const VQException&) {
        return 0;
    }
    const VQJavapFileInfo file{"/fuzz/Input.class", 0, size, "00"};
    const VQJavapOptions everything{.showConstants = true,
                                    .access = VQJavapAccess::all,
                                    .showDescriptors = true,
                                    .disassemble = true,
                                    .lineNumbers = true,
                                    .verbose = true,
                                    .sysInfo = true,
                                    .file = &file};
    const std::string text = VQJavapText(*javaClass, everything);
    ORNITH_FUZZ_CHECK(!text.empty() && text.back() == '\n');
    ORNITH_FUZZ_CHECK(VQJavapText(*javaClass, everything) == text);
    // The other access levels and the plain -c view walk the same tables.
    (void)VQJavapText(*javaClass, {.access = VQJavapAccess::publicOnly, .disassemble = true});
    (void)VQJavapText(*javaClass, {.access = VQJavapAccess::protectedOrMore, .verbose = true});
    return 0;
}
