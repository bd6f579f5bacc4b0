#pragma once
// The instructions of a method's code: the opcode table and an iterator that decodes one
// instruction at a time from the code bytes, checking every operand against the code and
// the pool. Nothing is allocated per instruction.

#include <cstdint>
#include <span>

#include "ornith/base/VQEndian.h"

namespace ornith {

class VQConstantPoolEntries;

// How an instruction's operands are laid out.
enum class VQOperandForm : uint8_t {
    none,             // no operand
    local,            // a local variable index (u1, or u2 after wide)
    increment,        // iinc: a local index and a signed constant (s1, or u2 and s2 after wide)
    byteValue,        // bipush: s1
    shortValue,       // sipush: s2
    newArrayType,     // newarray: the element type code (4 to 11)
    constant,         // ldc, ldc_w, ldc2_w: a pool index
    field,            // get/put static/field: a Fieldref
    method,           // invokevirtual, invokespecial, invokestatic
    interfaceMethod,  // invokeinterface: an InterfaceMethodref and a count
    dynamic,          // invokedynamic: an InvokeDynamic
    type,             // new, anewarray, checkcast, instanceof: a Class
    multiArray,       // multianewarray: a Class and the dimensions
    branch,           // a signed 16-bit or (goto_w, jsr_w) 32-bit offset
    tableSwitch,
    lookupSwitch,
    wide,  // the prefix itself; the iterator reports the instruction it widens
};

// The mnemonic of an opcode as javap prints it; null for one the JVMS does not define.
const char* VQOpcodeMnemonic(uint8_t opcode) noexcept;
// The operand layout of a defined opcode.
VQOperandForm VQOpcodeForm(uint8_t opcode) noexcept;
// newarray's element type by its code: "boolean" ... "long"; null for another code.
const char* VQNewArrayTypeName(uint8_t code) noexcept;

// Why the code could not be decoded.
enum class VQCodeFault : uint8_t {
    none,
    unknownOpcode,  // an opcode the JVMS does not define (or one wide cannot widen)
    truncated,      // an operand or a switch table past the end of the code
    branchOutside,  // a branch or switch target outside the code
    badPoolIndex,   // a pool index outside the pool or naming an entry of the wrong kind
    badSwitch,      // a tableswitch whose low exceeds its high, a negative pair count
    badOperand,     // another operand out of its range (newarray's type, zero dimensions)
};
// The fault's reason in words.
const char* VQCodeFaultReason(VQCodeFault fault) noexcept;

// One decoded instruction. The switch tables stay in the code bytes and are read on
// request.
struct VQInstruction {
    uint32_t offset = 0;
    uint32_t length = 0;  // with the wide prefix and a switch's padding and table
    uint8_t opcode = 0;   // the widened opcode after wide
    bool wide = false;
    VQOperandForm form = VQOperandForm::none;
    // local and increment: the local index.
    uint32_t local = 0;
    // increment: the constant; byteValue and shortValue: the value; interfaceMethod: the
    // count; multiArray: the dimensions; newArrayType: the type code.
    int32_t value = 0;
    // constant, field, method, interfaceMethod, dynamic, type, multiArray: the index and
    // the tag of the entry it names (the tag is 0 when no pool was given).
    uint16_t poolIndex = 0;
    uint8_t poolTag = 0;
    // branch: the target; the switches: the default target. Absolute offsets in the code.
    uint32_t target = 0;
    // tableSwitch: low and high; lookupSwitch: the pair count in `high`.
    int32_t low = 0;
    int32_t high = 0;
    // The first byte of the switch's table (after default, low and high, or npairs).
    const uint8_t* table = nullptr;

    const char* mnemonic() const noexcept { return VQOpcodeMnemonic(opcode); }
    // A switch's cases: high - low + 1 for tableswitch, the pair count for lookupswitch.
    uint32_t caseCount() const noexcept {
        if (form == VQOperandForm::tableSwitch)
            return static_cast<uint32_t>(int64_t{high} - int64_t{low} + 1);
        return form == VQOperandForm::lookupSwitch ? static_cast<uint32_t>(high) : 0;
    }
    // The match of case i (below caseCount) and its absolute target (checked by the
    // iterator to lie within the code).
    int32_t caseMatch(uint32_t i) const noexcept {
        if (form == VQOperandForm::tableSwitch) return static_cast<int32_t>(int64_t{low} + i);
        return static_cast<int32_t>(VQLoadBE32(table + size_t{i} * 8));
    }
    uint32_t caseTarget(uint32_t i) const noexcept {
        const uint8_t* at =
            form == VQOperandForm::tableSwitch ? table + size_t{i} * 4 : table + size_t{i} * 8 + 4;
        return static_cast<uint32_t>(int64_t{offset} + static_cast<int32_t>(VQLoadBE32(at)));
    }
};

// Decodes the code one instruction at a time:
//     VQInstructionDecoder decoder(code, pool);
//     VQInstruction instruction;
//     while (decoder.next(instruction)) { ... }
//     if (decoder.fault() != VQCodeFault::none) { ... decoder.faultOffset() ... }
// With a pool, every pool index is checked to name an entry of the kind its instruction
// takes; without one, indexes are given unchecked.
class VQInstructionDecoder {
public:
    VQInstructionDecoder(std::span<const uint8_t> code, const VQConstantPoolEntries* pool) noexcept
        : _code(code), _pool(pool) {}

    // The next instruction; false at the end of the code or at a fault, which then stays.
    bool next(VQInstruction& out) noexcept;

    // The offset of the next instruction to decode (the end of the code when done).
    uint32_t position() const noexcept { return _at; }
    VQCodeFault fault() const noexcept { return _fault; }
    // The offset of the instruction that could not be decoded.
    uint32_t faultOffset() const noexcept { return _faultOffset; }

private:
    bool fail(VQCodeFault fault, uint32_t at) noexcept {
        _fault = fault;
        _faultOffset = at;
        return false;
    }
    bool checkPool(VQInstruction& out) noexcept;

    std::span<const uint8_t> _code;
    const VQConstantPoolEntries* _pool;
    uint32_t _at = 0;
    VQCodeFault _fault = VQCodeFault::none;
    uint32_t _faultOffset = 0;
};

}  // namespace ornith
