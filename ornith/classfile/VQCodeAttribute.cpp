#include "ornith/classfile/VQCodeAttribute.h"

#include <algorithm>

#include "ornith/base/VQByteCursor.h"

namespace ornith {

VQCodeAttribute::VQCodeAttribute(std::span<const uint8_t> info, const VQConstantPoolEntries& pool)
    : _pool(&pool) {
    VQByteCursor cursor(info);
    auto fail = [&](const char* reason) {
        _structureFault = Fault{reason, static_cast<uint32_t>(cursor.position()), false};
    };
    uint32_t codeLength = 0;
    if (!cursor.be16(_maxStack) || !cursor.be16(_maxLocals) || !cursor.be32(codeLength)) {
        fail("Code attribute ends inside its header");
        return;
    }
    if (codeLength == 0 || codeLength > cursor.remaining()) {
        fail(codeLength == 0 ? "empty code" : "code runs past the end of the attribute");
        return;
    }
    _code = cursor.bytes(codeLength);
    uint16_t handlers = 0;
    if (!cursor.be16(handlers)) {
        fail("Code attribute ends before its exception table");
        return;
    }
    if (size_t{handlers} * 8 > cursor.remaining()) {
        fail("exception table runs past the end of the attribute");
        return;
    }
    _handlers.reserve(handlers);
    for (uint32_t i = 0; i < handlers; ++i) {
        VQExceptionHandler h{};
        const size_t at = cursor.position();
        cursor.be16(h.start), cursor.be16(h.end), cursor.be16(h.handler), cursor.be16(h.catchType);
        if (h.start >= h.end || h.end > codeLength || h.handler >= codeLength) {
            _structureFault =
                Fault{"exception handler outside the code", static_cast<uint32_t>(at), false};
            return;
        }
        if (h.catchType != 0 && pool.tag(h.catchType) != kVQConstantClass) {
            _structureFault = Fault{"bad constant pool index", static_cast<uint32_t>(at), false};
            return;
        }
        _handlers.push_back(h);
    }
    uint16_t count = 0;
    if (!cursor.be16(count)) {
        fail("Code attribute ends before its attributes");
        return;
    }
    _attributes.reserve(std::min<size_t>(count, cursor.remaining() / 6));
    for (uint32_t i = 0; i < count; ++i) {
        VQLayoutAttribute a{};
        a.offset = static_cast<uint32_t>(cursor.position());
        uint32_t length = 0;
        if (!cursor.be16(a.nameIndex) || !cursor.be32(length) || length > cursor.remaining()) {
            fail("attribute runs past the end of the Code attribute");
            return;
        }
        a.info = cursor.bytes(length);
        a.name = pool.modifiedUTF8(a.nameIndex);
        _attributes.push_back(a);
    }
    if (!cursor.atEnd()) fail("bytes after the Code attribute's attributes");
}

const VQLayoutAttribute* VQCodeAttribute::attribute(std::string_view name) const noexcept {
    for (const VQLayoutAttribute& a : _attributes)
        if (a.name == name) return &a;
    return nullptr;
}

std::optional<VQCodeAttribute::Fault> VQCodeAttribute::fault() const noexcept {
    if (_structureFault) return _structureFault;
    VQInstructionDecoder decoder = instructions();
    VQInstruction instruction;
    while (decoder.next(instruction)) {
    }
    if (decoder.fault() != VQCodeFault::none)
        return Fault{VQCodeFaultReason(decoder.fault()), decoder.faultOffset(), true};
    return std::nullopt;
}

}  // namespace ornith
