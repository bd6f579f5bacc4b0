// The decoders of the attributes inside Code (StackMapTable, the line and local variable
// tables, the type annotations) over arbitrary info bytes. The first byte picks the
// attribute, the second the length of the code that comes next; the rest is the
// attribute's info, set in a Code attribute of a small class whose pool has an entry of
// each kind those attributes name. javap's text is written with every option, and the
// info is given to the type-annotation writer of classes, fields and methods as well, and
// to each table decoder, whose answers must stay within the info and agree with its count.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQCodeTables.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapCode.h"
#include "ornith/testing/ClassFileWriter.h"

using namespace ornith;
using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;
using testing::putU4;

namespace {

bool within(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

void checkTables(std::span<const uint8_t> info, const VQConstantPoolEntries* pool) {
    const VQLineNumberTable lines = VQDecodeLineNumberTable(info);
    ORNITH_FUZZ_CHECK(lines.fault ? lines.entries.empty()
                                  : lines.entries.size() * 4 + 2 == info.size());
    const VQLocalVariableTable locals = VQDecodeLocalVariableTable(info);
    ORNITH_FUZZ_CHECK(locals.fault ? locals.entries.empty()
                                   : locals.entries.size() * 10 + 2 == info.size());
    if (lines.fault) ORNITH_FUZZ_CHECK(lines.fault->offset <= info.size());

    const VQStackMapTable frames(info, pool);
    ORNITH_FUZZ_CHECK(frames.frames().size() <= frames.numberOfEntries());
    if (!frames.fault()) ORNITH_FUZZ_CHECK(frames.frames().size() == frames.numberOfEntries());
    if (frames.fault()) ORNITH_FUZZ_CHECK(frames.fault()->offset <= info.size());
    uint32_t previous = 0;
    for (size_t k = 0; k < frames.frames().size(); ++k) {
        const VQStackMapFrame& f = frames.frames()[k];
        ORNITH_FUZZ_CHECK(size_t{f.firstLocal} + f.localCount <= frames.types().size());
        ORNITH_FUZZ_CHECK(size_t{f.firstStack} + f.stackCount <= frames.types().size());
        ORNITH_FUZZ_CHECK(k == 0 ? f.offset == f.offsetDelta
                                 : f.offset == previous + f.offsetDelta + 1u);
        previous = f.offset;
        for (const VQVerificationType& t : frames.locals(f))
            ORNITH_FUZZ_CHECK(static_cast<uint8_t>(t.tag) <= 8);
    }

    const VQTypeAnnotationTable annotations(info);
    if (annotations.fault()) ORNITH_FUZZ_CHECK(annotations.fault()->offset <= info.size());
    for (const VQTypeAnnotation& a : annotations.annotations()) {
        ORNITH_FUZZ_CHECK(VQTypeAnnotationTargetName(a.targetType) != nullptr);
        ORNITH_FUZZ_CHECK(within(a.annotation, info) && a.annotation.size() >= 4);
        ORNITH_FUZZ_CHECK(annotations.path(a).size() == a.pathLength);
        ORNITH_FUZZ_CHECK(annotations.ranges(a).size() == a.rangeCount);
    }
}

constexpr const char* kNames[] = {"StackMapTable",
                                  "LineNumberTable",
                                  "LocalVariableTable",
                                  "LocalVariableTypeTable",
                                  "RuntimeVisibleTypeAnnotations",
                                  "RuntimeInvisibleTypeAnnotations",
                                  "CharacterRangeTable",
                                  "Unknown"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char* name = kNames[data[0] % 8];
    const size_t codeLength = std::min<size_t>(size - 2, 1 + data[1] % 64);
    const std::span<const uint8_t> code(data + 2, codeLength);
    const std::span<const uint8_t> info(data + 2 + codeLength, size - 2 - codeLength);

    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    w.utf8("I");
    w.utf8("Ljava/lang/String;");
    w.utf8("LA;");
    w.utf8("value");
    w.integer(3);
    w.string("s");
    Bytes codeInfo;
    putU2(codeInfo, 4);
    putU2(codeInfo, 4);
    putU4(codeInfo, static_cast<uint32_t>(code.size()));
    codeInfo.insert(codeInfo.end(), code.begin(), code.end());
    putU2(codeInfo, 0);
    putU2(codeInfo, 1);
    putU2(codeInfo, w.utf8(name));
    putU4(codeInfo, static_cast<uint32_t>(info.size()));
    codeInfo.insert(codeInfo.end(), info.begin(), info.end());
    w.addMethod(9, "m", "(I)V", {w.attribute("Code", codeInfo)});

    std::shared_ptr<VQJavaClass> k;
    try {
        k = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(w.bytes()));
    } catch (const VQException&) {
        ORNITH_FUZZ_CHECK(false);  // the class around the info is well formed
    }
    ORNITH_FUZZ_CHECK(k->methods() && k->methods()->size() == 1);
    for (int mask = 1; mask < 8; ++mask) {
        VQJavapCodeOptions options;
        options.instructions = mask & 1;
        options.lines = mask & 2;
        options.verbose = mask & 4;
        std::string out;
        VQAppendJavapCode(*k, *k->methods()->items()[0], options, out);
    }
    checkTables(info, k->constantPool());
    checkTables(info, nullptr);
    for (int indent : {2, 4}) {
        std::string out;
        VQAppendJavapTypeAnnotations(*k, name, info, indent, out);
    }
    return 0;
}
