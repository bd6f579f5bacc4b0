// Method bodies over arbitrary bytes: a class that reads is asked for the Code attribute
// of every method, every instruction is decoded, and javap's Code block is written under
// each set of options. The decoder must stay inside the code, every instruction must
// start where the one before it ended, and a fault must name an offset inside the code.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavapCode.h"

using namespace ornith;

namespace {

void walk(const VQCodeAttribute& code) {
    VQInstructionDecoder decoder = code.instructions();
    VQInstruction i;
    uint32_t expected = 0;
    while (decoder.next(i)) {
        ORNITH_FUZZ_CHECK(i.offset == expected);
        ORNITH_FUZZ_CHECK(i.length > 0 && i.offset + i.length <= code.code().size());
        ORNITH_FUZZ_CHECK(i.mnemonic() != nullptr);
        if (i.form == VQOperandForm::branch || i.form == VQOperandForm::tableSwitch ||
            i.form == VQOperandForm::lookupSwitch)
            ORNITH_FUZZ_CHECK(i.target < code.code().size());
        for (uint32_t k = 0; k < i.caseCount(); ++k) {
            (void)i.caseMatch(k);
            ORNITH_FUZZ_CHECK(i.caseTarget(k) < code.code().size());
        }
        expected += i.length;
    }
    if (decoder.fault() != VQCodeFault::none)
        ORNITH_FUZZ_CHECK(decoder.faultOffset() < code.code().size());
    else
        ORNITH_FUZZ_CHECK(expected == code.code().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::shared_ptr<VQJavaClass> k;
    try {
        k = VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(data, size));
    } catch (const VQException&) {
        return 0;
    }
    auto each = [&](const VQJavaMethod& method) {
        const VQCodeAttribute* code = k->code(method);
        if (code) {
            if (!code->structureFault()) walk(*code);
            (void)code->fault();
        }
        for (int mask = 1; mask < 16; ++mask) {
            VQJavapCodeOptions options;
            options.instructions = mask & 1;
            options.lines = mask & 2;
            options.verbose = mask & 4;
            options.constants = mask & 8;
            std::string out;
            VQAppendJavapCode(*k, method, options, out);
            if (!code) ORNITH_FUZZ_CHECK(out.empty());
        }
    };
    try {
        if (k->methods())
            for (const VQJavaMethod* m : k->methods()->items()) each(*m);
        if (k->constructors())
            for (const VQJavaMethod* m : k->constructors()->items()) each(*m);
    } catch (const VQException&) {
        // The class read, so its pool and tables decode: nothing else may raise.
        ORNITH_FUZZ_CHECK(false);
    }
    return 0;
}
