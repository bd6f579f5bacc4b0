#include "ornith/classfile/VQInstructions.h"

#include <array>

#include "ornith/classfile/VQConstantPoolEntries.h"

namespace ornith {

namespace {

constexpr const char* kMnemonics[] = {"nop",           "aconst_null",  "iconst_m1",
                                      "iconst_0",      "iconst_1",     "iconst_2",
                                      "iconst_3",      "iconst_4",     "iconst_5",
                                      "lconst_0",      "lconst_1",     "fconst_0",
                                      "fconst_1",      "fconst_2",     "dconst_0",
                                      "dconst_1",      "bipush",       "sipush",
                                      "ldc",           "ldc_w",        "ldc2_w",
                                      "iload",         "lload",        "fload",
                                      "dload",         "aload",        "iload_0",
                                      "iload_1",       "iload_2",      "iload_3",
                                      "lload_0",       "lload_1",      "lload_2",
                                      "lload_3",       "fload_0",      "fload_1",
                                      "fload_2",       "fload_3",      "dload_0",
                                      "dload_1",       "dload_2",      "dload_3",
                                      "aload_0",       "aload_1",      "aload_2",
                                      "aload_3",       "iaload",       "laload",
                                      "faload",        "daload",       "aaload",
                                      "baload",        "caload",       "saload",
                                      "istore",        "lstore",       "fstore",
                                      "dstore",        "astore",       "istore_0",
                                      "istore_1",      "istore_2",     "istore_3",
                                      "lstore_0",      "lstore_1",     "lstore_2",
                                      "lstore_3",      "fstore_0",     "fstore_1",
                                      "fstore_2",      "fstore_3",     "dstore_0",
                                      "dstore_1",      "dstore_2",     "dstore_3",
                                      "astore_0",      "astore_1",     "astore_2",
                                      "astore_3",      "iastore",      "lastore",
                                      "fastore",       "dastore",      "aastore",
                                      "bastore",       "castore",      "sastore",
                                      "pop",           "pop2",         "dup",
                                      "dup_x1",        "dup_x2",       "dup2",
                                      "dup2_x1",       "dup2_x2",      "swap",
                                      "iadd",          "ladd",         "fadd",
                                      "dadd",          "isub",         "lsub",
                                      "fsub",          "dsub",         "imul",
                                      "lmul",          "fmul",         "dmul",
                                      "idiv",          "ldiv",         "fdiv",
                                      "ddiv",          "irem",         "lrem",
                                      "frem",          "drem",         "ineg",
                                      "lneg",          "fneg",         "dneg",
                                      "ishl",          "lshl",         "ishr",
                                      "lshr",          "iushr",        "lushr",
                                      "iand",          "land",         "ior",
                                      "lor",           "ixor",         "lxor",
                                      "iinc",          "i2l",          "i2f",
                                      "i2d",           "l2i",          "l2f",
                                      "l2d",           "f2i",          "f2l",
                                      "f2d",           "d2i",          "d2l",
                                      "d2f",           "i2b",          "i2c",
                                      "i2s",           "lcmp",         "fcmpl",
                                      "fcmpg",         "dcmpl",        "dcmpg",
                                      "ifeq",          "ifne",         "iflt",
                                      "ifge",          "ifgt",         "ifle",
                                      "if_icmpeq",     "if_icmpne",    "if_icmplt",
                                      "if_icmpge",     "if_icmpgt",    "if_icmple",
                                      "if_acmpeq",     "if_acmpne",    "goto",
                                      "jsr",           "ret",          "tableswitch",
                                      "lookupswitch",  "ireturn",      "lreturn",
                                      "freturn",       "dreturn",      "areturn",
                                      "return",        "getstatic",    "putstatic",
                                      "getfield",      "putfield",     "invokevirtual",
                                      "invokespecial", "invokestatic", "invokeinterface",
                                      "invokedynamic", "new",          "newarray",
                                      "anewarray",     "arraylength",  "athrow",
                                      "checkcast",     "instanceof",   "monitorenter",
                                      "monitorexit",   "wide",         "multianewarray",
                                      "ifnull",        "ifnonnull",    "goto_w",
                                      "jsr_w"};
constexpr size_t kOpcodeCount = sizeof kMnemonics / sizeof kMnemonics[0];
static_assert(kOpcodeCount == 202);

constexpr auto kForms = [] {
    std::array<VQOperandForm, 256> f{};
    using F = VQOperandForm;
    f[0x10] = F::byteValue;
    f[0x11] = F::shortValue;
    f[0x12] = f[0x13] = f[0x14] = F::constant;
    for (size_t op = 0x15; op <= 0x19; ++op) f[op] = F::local;  // loads
    for (size_t op = 0x36; op <= 0x3A; ++op) f[op] = F::local;  // stores
    f[0xA9] = F::local;                                         // ret
    f[0x84] = F::increment;
    for (size_t op = 0x99; op <= 0xA8; ++op) f[op] = F::branch;  // if*, goto, jsr
    f[0xC6] = f[0xC7] = f[0xC8] = f[0xC9] = F::branch;
    f[0xAA] = F::tableSwitch;
    f[0xAB] = F::lookupSwitch;
    for (size_t op = 0xB2; op <= 0xB5; ++op) f[op] = F::field;
    f[0xB6] = f[0xB7] = f[0xB8] = F::method;
    f[0xB9] = F::interfaceMethod;
    f[0xBA] = F::dynamic;
    f[0xBB] = f[0xBD] = f[0xC0] = f[0xC1] = F::type;
    f[0xBC] = F::newArrayType;
    f[0xC4] = F::wide;
    f[0xC5] = F::multiArray;
    return f;
}();

uint32_t be16(const uint8_t* p) {
    return VQLoadBE16(p);
}
int32_t be32(const uint8_t* p) {
    return static_cast<int32_t>(VQLoadBE32(p));
}

}  // namespace

const char* VQOpcodeMnemonic(uint8_t opcode) noexcept {
    return opcode < kOpcodeCount ? kMnemonics[opcode] : nullptr;
}

VQOperandForm VQOpcodeForm(uint8_t opcode) noexcept {
    return kForms[opcode];
}

const char* VQNewArrayTypeName(uint8_t code) noexcept {
    static constexpr const char* kNames[] = {"boolean", "char",  "float", "double",
                                             "byte",    "short", "int",   "long"};
    return code >= 4 && code <= 11 ? kNames[code - 4] : nullptr;
}

const char* VQCodeFaultReason(VQCodeFault fault) noexcept {
    switch (fault) {
        case VQCodeFault::none:
            return "no fault";
        case VQCodeFault::unknownOpcode:
            return "unknown opcode";
        case VQCodeFault::truncated:
            return "instruction runs past the end of the code";
        case VQCodeFault::branchOutside:
            return "branch target outside the code";
        case VQCodeFault::badPoolIndex:
            return "bad constant pool index";
        case VQCodeFault::badSwitch:
            return "malformed switch";
        case VQCodeFault::badOperand:
            return "bad operand";
    }
    return "unknown fault";
}

bool VQInstructionDecoder::checkPool(VQInstruction& out) noexcept {
    if (!_pool) return true;
    const int tag = _pool->tag(out.poolIndex);
    out.poolTag = static_cast<uint8_t>(tag);
    bool fits = false;
    switch (out.form) {
        case VQOperandForm::constant:
            if (out.opcode == 0x14)
                fits =
                    tag == kVQConstantLong || tag == kVQConstantDouble || tag == kVQConstantDynamic;
            else
                fits = tag == kVQConstantInteger || tag == kVQConstantFloat ||
                       tag == kVQConstantString || tag == kVQConstantClass ||
                       tag == kVQConstantMethodType || tag == kVQConstantMethodHandle ||
                       tag == kVQConstantDynamic;
            break;
        case VQOperandForm::field:
            fits = tag == kVQConstantFieldref;
            break;
        case VQOperandForm::method:
            // invokespecial and invokestatic may name an interface's method (class files
            // of version 52 and later).
            fits = tag == kVQConstantMethodref ||
                   (out.opcode != 0xB6 && tag == kVQConstantInterfaceMethodref);
            break;
        case VQOperandForm::interfaceMethod:
            fits = tag == kVQConstantInterfaceMethodref;
            break;
        case VQOperandForm::dynamic:
            fits = tag == kVQConstantInvokeDynamic;
            break;
        case VQOperandForm::type:
        case VQOperandForm::multiArray:
            fits = tag == kVQConstantClass;
            break;
        default:
            fits = true;
    }
    return fits ? true : fail(VQCodeFault::badPoolIndex, out.offset);
}

bool VQInstructionDecoder::next(VQInstruction& out) noexcept {
    if (_fault != VQCodeFault::none) return false;
    const size_t size = _code.size();
    if (_at >= size) return false;
    const uint8_t* code = _code.data();
    const uint32_t at = _at;
    const uint8_t* p = code + at;
    const size_t left = size - at;
    out = VQInstruction{};
    out.offset = at;
    out.opcode = p[0];
    out.form = kForms[p[0]];
    if (p[0] >= kOpcodeCount) return fail(VQCodeFault::unknownOpcode, at);

    auto need = [&](size_t bytes) { return left >= bytes; };
    auto branchTo = [&](int64_t delta, uint32_t& target) {
        const int64_t to = int64_t{at} + delta;
        if (to < 0 || static_cast<uint64_t>(to) >= size) return false;
        target = static_cast<uint32_t>(to);
        return true;
    };
    uint32_t length = 1;
    switch (out.form) {
        case VQOperandForm::none:
            break;
        case VQOperandForm::local:
        case VQOperandForm::newArrayType:
        case VQOperandForm::byteValue:
            if (!need(2)) return fail(VQCodeFault::truncated, at);
            length = 2;
            if (out.form == VQOperandForm::local) {
                out.local = p[1];
            } else if (out.form == VQOperandForm::byteValue) {
                out.value = static_cast<int8_t>(p[1]);
            } else {
                out.value = p[1];
                if (!VQNewArrayTypeName(p[1])) return fail(VQCodeFault::badOperand, at);
            }
            break;
        case VQOperandForm::increment:
            if (!need(3)) return fail(VQCodeFault::truncated, at);
            out.local = p[1];
            out.value = static_cast<int8_t>(p[2]);
            length = 3;
            break;
        case VQOperandForm::shortValue:
            if (!need(3)) return fail(VQCodeFault::truncated, at);
            out.value = static_cast<int16_t>(be16(p + 1));
            length = 3;
            break;
        case VQOperandForm::constant:
            if (out.opcode == 0x12) {
                if (!need(2)) return fail(VQCodeFault::truncated, at);
                out.poolIndex = p[1];
                length = 2;
            } else {
                if (!need(3)) return fail(VQCodeFault::truncated, at);
                out.poolIndex = static_cast<uint16_t>(be16(p + 1));
                length = 3;
            }
            if (!checkPool(out)) return false;
            break;
        case VQOperandForm::field:
        case VQOperandForm::method:
        case VQOperandForm::type:
            if (!need(3)) return fail(VQCodeFault::truncated, at);
            out.poolIndex = static_cast<uint16_t>(be16(p + 1));
            length = 3;
            if (!checkPool(out)) return false;
            break;
        case VQOperandForm::interfaceMethod:
        case VQOperandForm::dynamic:
            if (!need(5)) return fail(VQCodeFault::truncated, at);
            out.poolIndex = static_cast<uint16_t>(be16(p + 1));
            out.value = out.form == VQOperandForm::interfaceMethod ? p[3] : 0;
            length = 5;
            if (!checkPool(out)) return false;
            break;
        case VQOperandForm::multiArray:
            if (!need(4)) return fail(VQCodeFault::truncated, at);
            out.poolIndex = static_cast<uint16_t>(be16(p + 1));
            out.value = p[3];
            length = 4;
            if (p[3] == 0) return fail(VQCodeFault::badOperand, at);
            if (!checkPool(out)) return false;
            break;
        case VQOperandForm::branch: {
            const bool longForm = out.opcode == 0xC8 || out.opcode == 0xC9;
            length = longForm ? 5 : 3;
            if (!need(length)) return fail(VQCodeFault::truncated, at);
            const int64_t delta = longForm ? be32(p + 1) : static_cast<int16_t>(be16(p + 1));
            if (!branchTo(delta, out.target)) return fail(VQCodeFault::branchOutside, at);
            break;
        }
        case VQOperandForm::tableSwitch:
        case VQOperandForm::lookupSwitch: {
            // The operands start at the next multiple of four from the code's start.
            const uint32_t padding = (4 - ((at + 1) & 3)) & 3;
            const size_t head = 1 + padding + (out.form == VQOperandForm::tableSwitch ? 12 : 8);
            if (!need(head)) return fail(VQCodeFault::truncated, at);
            const uint8_t* q = p + 1 + padding;
            if (!branchTo(be32(q), out.target)) return fail(VQCodeFault::branchOutside, at);
            size_t entries = 0;
            size_t entryBytes = 4;
            if (out.form == VQOperandForm::tableSwitch) {
                out.low = be32(q + 4);
                out.high = be32(q + 8);
                if (out.low > out.high) return fail(VQCodeFault::badSwitch, at);
                entries = static_cast<size_t>(int64_t{out.high} - int64_t{out.low} + 1);
                out.table = q + 12;
            } else {
                out.high = be32(q + 4);
                if (out.high < 0) return fail(VQCodeFault::badSwitch, at);
                entries = static_cast<size_t>(out.high);
                entryBytes = 8;
                out.table = q + 8;
            }
            if (entries > (left - head) / entryBytes) return fail(VQCodeFault::truncated, at);
            length = static_cast<uint32_t>(head + entries * entryBytes);
            const uint32_t count = static_cast<uint32_t>(entries);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* t = out.table + size_t{i} * entryBytes + (entryBytes - 4);
                uint32_t ignored;
                if (!branchTo(be32(t), ignored)) return fail(VQCodeFault::branchOutside, at);
            }
            break;
        }
        case VQOperandForm::wide: {
            if (!need(2)) return fail(VQCodeFault::truncated, at);
            out.opcode = p[1];
            out.form = kForms[p[1]];
            out.wide = true;
            if (out.form == VQOperandForm::local) {
                if (!need(4)) return fail(VQCodeFault::truncated, at);
                out.local = be16(p + 2);
                length = 4;
            } else if (out.form == VQOperandForm::increment) {
                if (!need(6)) return fail(VQCodeFault::truncated, at);
                out.local = be16(p + 2);
                out.value = static_cast<int16_t>(be16(p + 4));
                length = 6;
            } else {
                out.opcode = 0xC4;
                out.form = VQOperandForm::wide;
                out.wide = false;
                return fail(VQCodeFault::unknownOpcode, at);
            }
            break;
        }
    }
    out.length = length;
    _at = at + length;
    return true;
}

}  // namespace ornith
