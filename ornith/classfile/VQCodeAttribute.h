#pragma once
// A method's Code attribute, decoded from its info bytes when asked: the limits, the code,
// the exception table and the attributes of the code itself. The instructions are
// decoded as they are walked (VQInstructions.h).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQInstructions.h"

namespace ornith {

struct VQExceptionHandler {
    uint16_t start;
    uint16_t end;
    uint16_t handler;
    uint16_t catchType;  // a Class entry; 0 for a handler of any exception
};

class VQCodeAttribute {
public:
    // Decodes the header and the tables of a Code attribute's info. A structure that
    // does not hold (a table past the end of the attribute, a handler outside the code,
    // a catch type that is not a Class) makes the attribute malformed, with what is
    // read before the fault kept; nothing is read outside `info`.
    VQCodeAttribute(std::span<const uint8_t> info, const VQConstantPoolEntries& pool);

    uint16_t maxStack() const noexcept { return _maxStack; }
    uint16_t maxLocals() const noexcept { return _maxLocals; }
    std::span<const uint8_t> code() const noexcept { return _code; }
    std::span<const VQExceptionHandler> exceptionTable() const noexcept { return _handlers; }
    // The Code attribute's own attributes (LineNumberTable, StackMapTable, ...).
    std::span<const VQLayoutAttribute> attributes() const noexcept { return _attributes; }
    // The first of the code's attributes of that name; null when there is none.
    const VQLayoutAttribute* attribute(std::string_view name) const noexcept;
    const VQConstantPoolEntries& pool() const noexcept { return *_pool; }

    // A decoder over the code, checking pool references against the pool.
    VQInstructionDecoder instructions() const noexcept { return {_code, _pool}; }

    // "malformed Code": why the attribute or its code does not decode and where (an
    // offset in the code for an instruction, in the attribute's info otherwise). The
    // instructions are walked once, on the first request, to find out.
    struct Fault {
        const char* reason;
        uint32_t offset;
        bool inCode;
    };
    std::optional<Fault> fault() const noexcept;
    // The fault of the header or tables alone, found by the constructor.
    const std::optional<Fault>& structureFault() const noexcept { return _structureFault; }

private:
    const VQConstantPoolEntries* _pool;
    uint16_t _maxStack = 0;
    uint16_t _maxLocals = 0;
    std::span<const uint8_t> _code;
    std::vector<VQExceptionHandler> _handlers;
    std::vector<VQLayoutAttribute> _attributes;
    std::optional<Fault> _structureFault;
};

}  // namespace ornith
