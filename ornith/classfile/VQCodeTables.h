#pragma once
// The tables a Code attribute carries about its code, decoded from an attribute's info
// bytes when asked: LineNumberTable, LocalVariableTable and LocalVariableTypeTable,
// StackMapTable, and RuntimeVisibleTypeAnnotations / RuntimeInvisibleTypeAnnotations
// (which classes, fields and methods carry as well).
//
// Every length and count is checked against the bytes of the attribute before anything
// is reserved for it, and nothing is read outside them. A table that does not decode
// keeps the entries read before the fault and says why and where: an offset in the
// attribute's info. Pool indexes are given as they are; where a decoder is given a pool
// it checks the kind of entry they name.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ornith {

class VQConstantPoolEntries;

struct VQCodeTableFault {
    const char* reason;
    uint32_t offset;  // in the attribute's info
};

// ---- LineNumberTable -------------------------------------------------------------------

struct VQLineNumber {
    uint16_t startPc;
    uint16_t line;
};

struct VQLineNumberTable {
    std::vector<VQLineNumber> entries;
    std::optional<VQCodeTableFault> fault;
};

VQLineNumberTable VQDecodeLineNumberTable(std::span<const uint8_t> info);

// ---- LocalVariableTable and LocalVariableTypeTable --------------------------------------

struct VQLocalVariable {
    uint16_t start;
    uint16_t length;
    uint16_t nameIndex;  // a Utf8 entry
    // A Utf8 entry: the field descriptor in a LocalVariableTable, the field signature in a
    // LocalVariableTypeTable.
    uint16_t descriptorIndex;
    uint16_t slot;
};

struct VQLocalVariableTable {
    std::vector<VQLocalVariable> entries;
    std::optional<VQCodeTableFault> fault;
};

// Both tables have the same layout.
VQLocalVariableTable VQDecodeLocalVariableTable(std::span<const uint8_t> info);

// ---- StackMapTable ---------------------------------------------------------------------

enum class VQVerificationTag : uint8_t {
    top = 0,
    integer = 1,
    floatType = 2,
    doubleType = 3,
    longType = 4,
    null = 5,
    uninitializedThis = 6,
    object = 7,         // value: a Class entry
    uninitialized = 8,  // value: the offset of the new instruction that made it
};

struct VQVerificationType {
    VQVerificationTag tag;
    uint16_t value;  // object and uninitialized only; 0 for the others
};

enum class VQStackMapFrameKind : uint8_t {
    same,                          // 0-63
    sameLocals1StackItem,          // 64-127
    sameLocals1StackItemExtended,  // 247
    chop,                          // 248-250
    sameExtended,                  // 251
    append,                        // 252-254
    full,                          // 255
};

struct VQStackMapFrame {
    uint8_t frameType = 0;
    VQStackMapFrameKind kind = VQStackMapFrameKind::same;
    uint16_t offsetDelta = 0;  // implied by the frame type for same and sameLocals1StackItem
    uint32_t offset = 0;       // the absolute offset in the code that the frame describes
    // Where the frame's verification types lie in the table's types(): the locals it
    // appends (append) or gives (full), and its stack (one for the sameLocals1StackItem
    // kinds, any number for full).
    uint32_t firstLocal = 0;
    uint32_t firstStack = 0;
    uint16_t localCount = 0;
    uint16_t stackCount = 0;

    // chop: how many locals the frame removes.
    uint32_t choppedLocals() const noexcept {
        return kind == VQStackMapFrameKind::chop ? 251u - frameType : 0u;
    }
};

// How much of a frame was read before a fault.
enum class VQFrameProgress : uint8_t {
    nothing,  // not even a valid frame type
    type,     // the frame type, but not the offset delta that follows it
    header,   // the type and the delta (given or implied)
    locals,   // the header and a full frame's locals
};

class VQStackMapTable {
public:
    struct Fault {
        const char* reason;
        uint32_t offset;  // in the attribute's info
        uint32_t entry;   // the frame that did not decode; numberOfEntries() for trailing bytes
        VQFrameProgress progress;
        VQStackMapFrame partial;  // what was read of that frame, as progress says
    };

    // With a pool, an object type's index must name a Class entry.
    VQStackMapTable(std::span<const uint8_t> info, const VQConstantPoolEntries* pool);

    // number_of_entries as the attribute gives it.
    uint16_t numberOfEntries() const noexcept { return _count; }
    std::span<const VQStackMapFrame> frames() const noexcept { return _frames; }
    std::span<const VQVerificationType> types() const noexcept { return _types; }
    std::span<const VQVerificationType> locals(const VQStackMapFrame& f) const noexcept {
        return std::span<const VQVerificationType>(_types).subspan(f.firstLocal, f.localCount);
    }
    std::span<const VQVerificationType> stack(const VQStackMapFrame& f) const noexcept {
        return std::span<const VQVerificationType>(_types).subspan(f.firstStack, f.stackCount);
    }
    const std::optional<Fault>& fault() const noexcept { return _fault; }

private:
    uint16_t _count = 0;
    std::vector<VQStackMapFrame> _frames;
    std::vector<VQVerificationType> _types;
    std::optional<Fault> _fault;
};

// ---- Runtime(In)VisibleTypeAnnotations --------------------------------------------------

// The target types of JVMS 4.7.20, by the names the JDK gives them ("CLASS_EXTENDS",
// "LOCAL_VARIABLE", ...); null for a value the JVMS does not define.
const char* VQTypeAnnotationTargetName(uint8_t targetType) noexcept;

struct VQTypePathStep {
    enum Kind : uint8_t { array = 0, innerType = 1, wildcard = 2, typeArgument = 3 };
    uint8_t kind;
    uint8_t typeArgumentIndex;  // typeArgument: which argument; 0 for the others
};

// One entry of a localvar_target: the code range in which a local holds the value.
struct VQLocalVariableRange {
    uint16_t startPc;
    uint16_t length;
    uint16_t index;
};

struct VQTypeAnnotation {
    uint8_t targetType = 0;
    // The target_info, by the target type (the others leave these 0):
    uint8_t typeParameterIndex = 0;    // 0x00 0x01 0x11 0x12
    uint8_t boundIndex = 0;            // 0x11 0x12
    uint16_t supertypeIndex = 0;       // 0x10: an interface; 65535 for the superclass
    uint8_t formalParameterIndex = 0;  // 0x16
    uint16_t throwsTypeIndex = 0;      // 0x17
    uint16_t exceptionTableIndex = 0;  // 0x42
    uint16_t offset = 0;               // 0x43-0x4B: the instruction's offset in the code
    uint8_t typeArgumentIndex = 0;     // 0x47-0x4B
    uint32_t firstRange = 0;           // 0x40 0x41: in the table's ranges()
    uint16_t rangeCount = 0;
    uint32_t firstStep = 0;  // the type path, in the table's path()
    uint8_t pathLength = 0;
    // The annotation itself (type_index, num_element_value_pairs and the pairs), checked to
    // be whole; decode it with an annotation reader.
    std::span<const uint8_t> annotation;
    uint32_t annotationOffset = 0;  // where it starts in the attribute's info
};

class VQTypeAnnotationTable {
public:
    explicit VQTypeAnnotationTable(std::span<const uint8_t> info);

    std::span<const VQTypeAnnotation> annotations() const noexcept { return _annotations; }
    std::span<const VQLocalVariableRange> ranges(const VQTypeAnnotation& a) const noexcept {
        return std::span<const VQLocalVariableRange>(_ranges).subspan(a.firstRange, a.rangeCount);
    }
    std::span<const VQTypePathStep> path(const VQTypeAnnotation& a) const noexcept {
        return std::span<const VQTypePathStep>(_steps).subspan(a.firstStep, a.pathLength);
    }
    const std::optional<VQCodeTableFault>& fault() const noexcept { return _fault; }

private:
    std::vector<VQTypeAnnotation> _annotations;
    std::vector<VQLocalVariableRange> _ranges;
    std::vector<VQTypePathStep> _steps;
    std::optional<VQCodeTableFault> _fault;
};

// How deep annotations and arrays of element values may nest in a type annotation.
inline constexpr int kVQMaxTypeAnnotationDepth = 64;

}  // namespace ornith
