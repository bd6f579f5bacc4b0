#include "ornith/classfile/VQCodeTables.h"

#include <algorithm>

#include "ornith/base/VQByteCursor.h"
#include "ornith/classfile/VQConstantPoolEntries.h"

namespace ornith {

namespace {

// The count at the start of a table of fixed-size entries, which must fill the rest of
// the attribute exactly; false with the fault set otherwise.
bool readCount(VQByteCursor& cursor, size_t entrySize, uint16_t& count,
               std::optional<VQCodeTableFault>& fault) {
    if (!cursor.be16(count)) {
        fault = VQCodeTableFault{"table ends before its count", 0};
        return false;
    }
    const size_t needed = size_t{count} * entrySize;
    if (needed > cursor.remaining()) {
        fault =
            VQCodeTableFault{"table runs past the end of the attribute",
                             static_cast<uint32_t>(2 + cursor.remaining() / entrySize * entrySize)};
        return false;
    }
    if (needed < cursor.remaining()) {
        fault = VQCodeTableFault{"bytes after the table", static_cast<uint32_t>(2 + needed)};
        return false;
    }
    return true;
}

}  // namespace

VQLineNumberTable VQDecodeLineNumberTable(std::span<const uint8_t> info) {
    VQLineNumberTable table;
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!readCount(cursor, 4, n, table.fault)) return table;
    table.entries.resize(n);
    for (VQLineNumber& e : table.entries) cursor.be16(e.startPc), cursor.be16(e.line);
    return table;
}

VQLocalVariableTable VQDecodeLocalVariableTable(std::span<const uint8_t> info) {
    VQLocalVariableTable table;
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!readCount(cursor, 10, n, table.fault)) return table;
    table.entries.resize(n);
    for (VQLocalVariable& e : table.entries)
        cursor.be16(e.start), cursor.be16(e.length), cursor.be16(e.nameIndex),
            cursor.be16(e.descriptorIndex), cursor.be16(e.slot);
    return table;
}

// ---- StackMapTable ---------------------------------------------------------------------

VQStackMapTable::VQStackMapTable(std::span<const uint8_t> info, const VQConstantPoolEntries* pool) {
    VQByteCursor cursor(info);
    if (!cursor.be16(_count)) {
        _fault = Fault{"StackMapTable ends before its count", 0, 0, VQFrameProgress::nothing, {}};
        return;
    }
    // Every frame takes at least a byte, so the bytes left bound what is reserved.
    _frames.reserve(std::min<size_t>(_count, cursor.remaining()));
    VQStackMapFrame f;
    VQFrameProgress progress = VQFrameProgress::nothing;
    uint32_t entry = 0;
    size_t faultAt = 0;
    auto fail = [&](const char* reason) {
        _fault = Fault{reason, static_cast<uint32_t>(faultAt), entry, progress, f};
        return false;
    };
    // `count` verification types into types(); false with the fault set when one does not
    // decode.
    auto readTypes = [&](uint32_t count) {
        for (uint32_t k = 0; k < count; ++k) {
            faultAt = cursor.position();
            uint8_t tag = 0;
            if (!cursor.u8(tag)) return fail("frame ends inside its verification types");
            VQVerificationType t{static_cast<VQVerificationTag>(tag), 0};
            if (tag > 8) return fail("unknown verification type");
            if (tag >= 7) {
                if (!cursor.be16(t.value)) return fail("frame ends inside its verification types");
                if (tag == 7 && pool && pool->tag(t.value) != kVQConstantClass)
                    return fail("bad constant pool index");
            }
            _types.push_back(t);
        }
        return true;
    };
    uint32_t offset = 0;
    for (; entry < _count; ++entry) {
        f = VQStackMapFrame{};
        progress = VQFrameProgress::nothing;
        faultAt = cursor.position();
        if (!cursor.u8(f.frameType)) {
            fail("StackMapTable ends before its frames");
            return;
        }
        const uint8_t type = f.frameType;
        if (type >= 128 && type < 247) {
            fail("unknown frame type");
            return;
        }
        if (type < 128) {
            f.kind =
                type < 64 ? VQStackMapFrameKind::same : VQStackMapFrameKind::sameLocals1StackItem;
            f.offsetDelta = type < 64 ? type : type - 64;
        } else {
            progress = VQFrameProgress::type;
            faultAt = cursor.position();
            if (!cursor.be16(f.offsetDelta)) {
                fail("frame ends before its offset delta");
                return;
            }
            f.kind = type == 247   ? VQStackMapFrameKind::sameLocals1StackItemExtended
                     : type < 251  ? VQStackMapFrameKind::chop
                     : type == 251 ? VQStackMapFrameKind::sameExtended
                     : type < 255  ? VQStackMapFrameKind::append
                                   : VQStackMapFrameKind::full;
        }
        f.offset = entry == 0 ? f.offsetDelta : offset + f.offsetDelta + 1;
        progress = VQFrameProgress::header;
        f.firstLocal = f.firstStack = static_cast<uint32_t>(_types.size());
        switch (f.kind) {
            case VQStackMapFrameKind::sameLocals1StackItem:
            case VQStackMapFrameKind::sameLocals1StackItemExtended:
                if (!readTypes(1)) return;
                f.stackCount = 1;
                break;
            case VQStackMapFrameKind::append:
                if (!readTypes(type - 251u)) return;
                f.localCount = static_cast<uint16_t>(type - 251u);
                f.firstStack = static_cast<uint32_t>(_types.size());
                break;
            case VQStackMapFrameKind::full: {
                uint16_t n = 0;
                faultAt = cursor.position();
                if (!cursor.be16(n)) {
                    fail("frame ends before its count of locals");
                    return;
                }
                if (!readTypes(n)) return;
                f.localCount = n;
                f.firstStack = static_cast<uint32_t>(_types.size());
                progress = VQFrameProgress::locals;
                faultAt = cursor.position();
                if (!cursor.be16(n)) {
                    fail("frame ends before its count of stack items");
                    return;
                }
                if (!readTypes(n)) return;
                f.stackCount = n;
                break;
            }
            default:
                break;
        }
        offset = f.offset;
        _frames.push_back(f);
    }
    if (!cursor.atEnd()) {
        f = VQStackMapFrame{};
        progress = VQFrameProgress::nothing;
        faultAt = cursor.position();
        fail("bytes after the last frame");
    }
}

// ---- Type annotations ------------------------------------------------------------------

const char* VQTypeAnnotationTargetName(uint8_t type) noexcept {
    switch (type) {
        case 0x00:
            return "CLASS_TYPE_PARAMETER";
        case 0x01:
            return "METHOD_TYPE_PARAMETER";
        case 0x10:
            return "CLASS_EXTENDS";
        case 0x11:
            return "CLASS_TYPE_PARAMETER_BOUND";
        case 0x12:
            return "METHOD_TYPE_PARAMETER_BOUND";
        case 0x13:
            return "FIELD";
        case 0x14:
            return "METHOD_RETURN";
        case 0x15:
            return "METHOD_RECEIVER";
        case 0x16:
            return "METHOD_FORMAL_PARAMETER";
        case 0x17:
            return "THROWS";
        case 0x40:
            return "LOCAL_VARIABLE";
        case 0x41:
            return "RESOURCE_VARIABLE";
        case 0x42:
            return "EXCEPTION_PARAMETER";
        case 0x43:
            return "INSTANCEOF";
        case 0x44:
            return "NEW";
        case 0x45:
            return "CONSTRUCTOR_REFERENCE";
        case 0x46:
            return "METHOD_REFERENCE";
        case 0x47:
            return "CAST";
        case 0x48:
            return "CONSTRUCTOR_INVOCATION_TYPE_ARGUMENT";
        case 0x49:
            return "METHOD_INVOCATION_TYPE_ARGUMENT";
        case 0x4A:
            return "CONSTRUCTOR_REFERENCE_TYPE_ARGUMENT";
        case 0x4B:
            return "METHOD_REFERENCE_TYPE_ARGUMENT";
        default:
            return nullptr;
    }
}

namespace {

bool skipAnnotation(VQByteCursor& cursor, int depth);

bool skipElementValue(VQByteCursor& cursor, int depth) {
    uint8_t tag = 0;
    if (depth > kVQMaxTypeAnnotationDepth || !cursor.u8(tag)) return false;
    switch (tag) {
        case 'B':
        case 'C':
        case 'D':
        case 'F':
        case 'I':
        case 'J':
        case 'S':
        case 'Z':
        case 's':
        case 'c':
            return cursor.skip(2);
        case 'e':
            return cursor.skip(4);
        case '@':
            return skipAnnotation(cursor, depth + 1);
        case '[': {
            uint16_t n = 0;
            if (!cursor.be16(n)) return false;
            for (uint32_t k = 0; k < n; ++k)
                if (!skipElementValue(cursor, depth + 1)) return false;
            return true;
        }
        default:
            return false;
    }
}

bool skipAnnotation(VQByteCursor& cursor, int depth) {
    uint16_t n = 0;
    if (depth > kVQMaxTypeAnnotationDepth || !cursor.skip(2) || !cursor.be16(n)) return false;
    for (uint32_t k = 0; k < n; ++k)
        if (!cursor.skip(2) || !skipElementValue(cursor, depth + 1)) return false;
    return true;
}

}  // namespace

VQTypeAnnotationTable::VQTypeAnnotationTable(std::span<const uint8_t> info) {
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!cursor.be16(n)) {
        _fault = VQCodeTableFault{"type annotations end before their count", 0};
        return;
    }
    // The shortest type annotation takes seven bytes (type, path length, annotation).
    _annotations.reserve(std::min<size_t>(n, cursor.remaining() / 7));
    size_t faultAt = 0;
    auto fail = [&](const char* reason) {
        _fault = VQCodeTableFault{reason, static_cast<uint32_t>(faultAt)};
    };
    for (uint32_t k = 0; k < n; ++k) {
        VQTypeAnnotation a;
        faultAt = cursor.position();
        if (!cursor.u8(a.targetType)) {
            fail("type annotations end before their entries");
            return;
        }
        if (!VQTypeAnnotationTargetName(a.targetType)) {
            fail("unknown target type");
            return;
        }
        faultAt = cursor.position();
        bool ok = true;
        switch (a.targetType) {
            case 0x00:
            case 0x01:
                ok = cursor.u8(a.typeParameterIndex);
                break;
            case 0x10:
                ok = cursor.be16(a.supertypeIndex);
                break;
            case 0x11:
            case 0x12:
                ok = cursor.u8(a.typeParameterIndex) && cursor.u8(a.boundIndex);
                break;
            case 0x16:
                ok = cursor.u8(a.formalParameterIndex);
                break;
            case 0x17:
                ok = cursor.be16(a.throwsTypeIndex);
                break;
            case 0x42:
                ok = cursor.be16(a.exceptionTableIndex);
                break;
            case 0x40:
            case 0x41: {
                uint16_t count = 0;
                ok = cursor.be16(count) && size_t{count} * 6 <= cursor.remaining();
                if (!ok) break;
                a.firstRange = static_cast<uint32_t>(_ranges.size());
                a.rangeCount = count;
                for (uint32_t r = 0; r < count; ++r) {
                    VQLocalVariableRange range{};
                    cursor.be16(range.startPc), cursor.be16(range.length), cursor.be16(range.index);
                    _ranges.push_back(range);
                }
                break;
            }
            case 0x43:
            case 0x44:
            case 0x45:
            case 0x46:
                ok = cursor.be16(a.offset);
                break;
            case 0x47:
            case 0x48:
            case 0x49:
            case 0x4A:
            case 0x4B:
                ok = cursor.be16(a.offset) && cursor.u8(a.typeArgumentIndex);
                break;
            default:  // 0x13 0x14 0x15: empty_target
                break;
        }
        if (!ok) {
            fail("target info runs past the end of the attribute");
            return;
        }
        faultAt = cursor.position();
        if (!cursor.u8(a.pathLength) || size_t{a.pathLength} * 2 > cursor.remaining()) {
            fail("type path runs past the end of the attribute");
            return;
        }
        a.firstStep = static_cast<uint32_t>(_steps.size());
        for (uint32_t s = 0; s < a.pathLength; ++s) {
            faultAt = cursor.position();
            VQTypePathStep step{};
            cursor.u8(step.kind), cursor.u8(step.typeArgumentIndex);
            if (step.kind > VQTypePathStep::typeArgument) {
                fail("unknown type path kind");
                return;
            }
            _steps.push_back(step);
        }
        faultAt = cursor.position();
        a.annotationOffset = static_cast<uint32_t>(faultAt);
        if (!skipAnnotation(cursor, 0)) {
            fail("annotation does not decode");
            return;
        }
        a.annotation = info.subspan(a.annotationOffset, cursor.position() - a.annotationOffset);
        _annotations.push_back(a);
    }
    if (!cursor.atEnd()) {
        faultAt = cursor.position();
        fail("bytes after the type annotations");
    }
}

}  // namespace ornith
