#include "ornith/model/VQJavapCode.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQCodeTables.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/model/VQJavapAnnotationText.h"
#include "ornith/model/VQJavapVerbose.h"

namespace ornith {

namespace {

std::string format(const char* pattern, auto... values) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

struct Context {
    const VQConstantPoolEntries& pool;
    uint32_t thisClass;
    VQJavapLineWriter& w;
    VQJavapReferenceTexts& references;

    // The escaped text of a Utf8 entry (the names and descriptors of the debug tables).
    std::string utf8Value(uint32_t index) {
        std::string s;
        if (pool.tag(index) != kVQConstantUtf8 || !pool.appendJavapValue(index, s)) s = "???";
        return s;
    }
};

// An instruction's line up to its comment, built in place: one piece for the writer
// where each part would be one.
class InstructionLine {
public:
    std::string_view text() const noexcept { return {_text, _size}; }
    void add(std::string_view piece) noexcept {
        const size_t n = std::min(piece.size(), sizeof _text - _size);
        std::memcpy(_text + _size, piece.data(), n);
        _size += n;
    }
    // A literal: its length is known here, so the copy is a move or two, not a call.
    template <size_t N>
    void add(const char (&literal)[N]) noexcept {
        if (_size + (N - 1) > sizeof _text) return;
        std::memcpy(_text + _size, literal, N - 1);
        _size += N - 1;
    }
    void add(char c) noexcept {
        if (_size < sizeof _text) _text[_size++] = c;
    }
    // The number, right-aligned in `width` characters.
    void add(int64_t number, size_t width = 0) noexcept {
        char digits[24];
        const size_t n =
            static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
        if (n < width) pad(width - n);
        add(std::string_view(digits, n));
    }
    void pad(size_t spaces) noexcept {
        const size_t n = std::min(spaces, sizeof _text - _size);
        // Sixteen at a time while there is room for them; the line's length is what counts.
        static constexpr char kSpaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                             ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
        size_t done = 0;
        for (; done < n && _size + done + 16 <= sizeof _text; done += 16)
            std::memcpy(_text + _size + done, kSpaces, 16);
        for (; done < n; ++done) _text[_size + done] = ' ';
        _size += n;
    }
    // A field of exactly 16 characters (the caller keeps the line below its room).
    void addField(const char (&field)[16], size_t length) noexcept {
        std::memcpy(_text + _size, field, 16);
        _size += length;
    }
    size_t size() const noexcept { return _size; }

private:
    char _text[160];
    size_t _size = 0;
};

// javap's "%-13s " of every mnemonic, blank-padded to 16 (the longest, invokeinterface,
// takes 15) so that it goes into a line as one fixed copy, with its length alone and
// padded.
struct MnemonicField {
    char text[16];
    uint8_t length = 0;  // 0 for an opcode with no mnemonic
    uint8_t padded = 0;  // the length with the padding to 13 and the space after it
};
const std::array<MnemonicField, 256>& mnemonicFields() {
    static const std::array<MnemonicField, 256> fields = [] {
        std::array<MnemonicField, 256> all{};
        for (size_t opcode = 0; opcode < all.size(); ++opcode) {
            MnemonicField& f = all[opcode];
            std::memset(f.text, ' ', sizeof f.text);
            const char* mnemonic = VQOpcodeMnemonic(static_cast<uint8_t>(opcode));
            if (!mnemonic) continue;
            const size_t n = std::min(std::strlen(mnemonic), sizeof f.text - 1);
            std::memcpy(f.text, mnemonic, n);
            f.length = static_cast<uint8_t>(n);
            f.padded = static_cast<uint8_t>(std::max<size_t>(n, 13) + 1);
        }
        return all;
    }();
    return fields;
}

// Instruction lines go straight into `out`, between the writer's lines, whole and
// indented as the writer would; the writer lays out only what needs it (a switch, a
// comment holding a line break or ending in a space).
void appendInstruction(Context& c, const VQInstruction& i, std::string& out) {
    VQJavapLineWriter& w = c.w;
    InstructionLine line;
    const size_t indent = w.indentSpaces();
    line.pad(indent);
    // "%4u: %-13s ", without a format to parse for every instruction.
    line.add(int64_t{i.offset}, 4);
    line.add(": ");
    const MnemonicField& field = mnemonicFields()[i.opcode];
    const bool plainField = !i.wide && field.length != 0 && line.size() + 16 <= 64;
    // The mnemonic of a wide form, which the table does not hold.
    auto addMnemonic = [&] {
        line.add(i.mnemonic() ? std::string_view(i.mnemonic()) : std::string_view());
        if (i.wide) line.add("_w");
    };
    // The mnemonic with the padding its operands come after.
    auto operands = [&] {
        if (plainField) {
            line.addField(field.text, field.padded);
            return;
        }
        const size_t mnemonicStart = line.size();
        addMnemonic();
        line.pad(13 - std::min<size_t>(13, line.size() - mnemonicStart));
        line.add(' ');
    };
    auto poolReference = [&](uint32_t index, int64_t extra, bool withExtra) {
        operands();
        line.add('#');
        line.add(int64_t{index});
        if (withExtra) {
            line.add(",  ");
            line.add(extra);
        }
        // The writer's comment column, or one space on.
        const size_t column = w.commentColumn();
        line.pad(column <= line.size() ? 1 : column - line.size());
        line.add("// ");
        const std::string_view comment = c.references.text(index, c.thisClass);
        if (comment.back() == ' ' || comment.find('\n') != std::string_view::npos) {
            w.printPlain(line.text().substr(indent));
            w.print(comment);
            w.println();
            return;
        }
        out.append(line.text()).append(comment).push_back('\n');
    };
    // No operand (javap shows none for the discontinued jsr, jsr_w and ret either): the
    // mnemonic ends the line, unpadded.
    if (i.form == VQOperandForm::none || i.form == VQOperandForm::wide || i.opcode == 0xA8 ||
        i.opcode == 0xC9 || i.opcode == 0xA9) {
        if (plainField)
            line.addField(field.text, field.length);
        else
            addMnemonic();
        line.add('\n');
        out.append(line.text());
        return;
    }
    switch (i.form) {
        case VQOperandForm::branch:
            operands();
            line.add(int64_t{i.target});
            break;
        case VQOperandForm::byteValue:
        case VQOperandForm::shortValue:
            operands();
            line.add(int64_t{i.value});
            break;
        case VQOperandForm::constant:
        case VQOperandForm::field:
        case VQOperandForm::method:
        case VQOperandForm::type:
            return poolReference(i.poolIndex, 0, false);
        case VQOperandForm::interfaceMethod:
        case VQOperandForm::multiArray:
            return poolReference(i.poolIndex, i.value, true);
        case VQOperandForm::dynamic:
            return poolReference(i.poolIndex, 0, true);
        case VQOperandForm::local:
            operands();
            line.add(int64_t{i.local});
            break;
        case VQOperandForm::increment:
            operands();
            line.add(int64_t{i.local});
            line.add(", ");
            line.add(int64_t{i.value});
            break;
        case VQOperandForm::newArrayType:
            operands();
            line.add(' ');
            line.add(VQNewArrayTypeName(static_cast<uint8_t>(i.value)));
            break;
        case VQOperandForm::tableSwitch:
        case VQOperandForm::lookupSwitch: {
            operands();
            w.printPlain(line.text().substr(indent));
            if (i.form == VQOperandForm::tableSwitch)
                w.print("{ // " + std::to_string(i.low) + " to " + std::to_string(i.high));
            else
                w.print("{ // " + std::to_string(i.high));
            w.indent(3);
            const uint32_t n = i.caseCount();
            for (uint32_t k = 0; k < n; ++k)
                w.print(format("\n%12d: %u", i.caseMatch(k), i.caseTarget(k)));
            w.print("\n     default: " + std::to_string(i.target) + "\n}");
            w.indent(-3);
            w.println();
            return;
        }
        case VQOperandForm::none:
        case VQOperandForm::wide:
            break;
    }
    // Every operand ends in a number or a name: there is no padding to cut.
    line.add('\n');
    out.append(line.text());
}

void appendInstructions(Context& c, const VQCodeAttribute& code, std::string& out) {
    VQInstructionDecoder decoder = code.instructions();
    VQInstruction instruction;
    while (decoder.next(instruction)) appendInstruction(c, instruction, out);
    if (decoder.fault() != VQCodeFault::none)
        c.w.report("error at or after address " + std::to_string(decoder.faultOffset()) + ": " +
                   VQCodeFaultReason(decoder.fault()));
}

void appendExceptionTable(Context& c, const VQCodeAttribute& code) {
    if (code.exceptionTable().empty()) return;
    VQJavapLineWriter& w = c.w;
    w.println("Exception table:");
    w.indent(1);
    w.println(" from    to  target type");
    for (const VQExceptionHandler& h : code.exceptionTable()) {
        w.print(format(" %5u %5u %5u", h.start, h.end, h.handler));
        w.print("   ");
        if (h.catchType == 0) {
            w.println("any");
        } else {
            std::string name;
            if (!c.pool.appendJavapValue(h.catchType, name)) name = "???";
            w.print("Class ");
            w.println(name);
        }
    }
    w.indent(-1);
}

void appendLineNumbers(Context& c, std::span<const uint8_t> info) {
    const VQLineNumberTable table = VQDecodeLineNumberTable(info);
    if (table.fault) return c.w.report("malformed LineNumberTable");
    c.w.println("LineNumberTable:");
    c.w.indent(1);
    for (const VQLineNumber& e : table.entries)
        c.w.println("line " + std::to_string(e.line) + ": " + std::to_string(e.startPc));
    c.w.indent(-1);
}

void appendLocalVariables(Context& c, std::span<const uint8_t> info, const char* title) {
    const VQLocalVariableTable table = VQDecodeLocalVariableTable(info);
    if (table.fault) return c.w.report(std::string("malformed ") + title);
    c.w.print(title);
    c.w.println(":");
    c.w.indent(1);
    c.w.println("Start  Length  Slot  Name   Signature");
    for (const VQLocalVariable& e : table.entries) {
        const std::string nameText = c.utf8Value(e.nameIndex);
        const std::string typeText = c.utf8Value(e.descriptorIndex);
        char head[48];
        std::snprintf(head, sizeof head, "%5u %7u %5u ", e.start, e.length, e.slot);
        std::string line = head;
        if (nameText.size() < 5) line.append(5 - nameText.size(), ' ');
        line += nameText;
        line += "   ";
        line += typeText;
        c.w.println(line);
    }
    c.w.indent(-1);
}

// A list of verification types as javap writes it; false when an object type's class
// cannot be named.
bool appendTypeMap(Context& c, const char* name, std::span<const VQVerificationType> types) {
    static constexpr const char* kSimple[] = {"top",  "int",  "float", "double",
                                              "long", "null", "this"};
    std::string line = std::string(name) + " = [";
    for (size_t k = 0; k < types.size(); ++k) {
        const VQVerificationType& t = types[k];
        line += ' ';
        if (t.tag == VQVerificationTag::object) {
            if (!c.pool.appendJavapReference(t.value, 0, line)) return false;
        } else if (t.tag == VQVerificationTag::uninitialized) {
            line += "uninitialized " + std::to_string(t.value);
        } else {
            line += kSimple[static_cast<uint8_t>(t.tag)];
        }
        if (k + 1 < types.size()) line += ',';
    }
    if (!types.empty()) line += ' ';
    line += "]";
    c.w.println(line);
    return true;
}

// The lines of one frame, up to what was read of it; false when a type cannot be named.
bool appendFrame(Context& c, const VQStackMapTable& table, const VQStackMapFrame& f,
                 VQFrameProgress progress, bool complete) {
    static constexpr const char* kKinds[] = {"/* same */",
                                             "/* same_locals_1_stack_item */",
                                             "/* same_locals_1_stack_item_frame_extended */",
                                             "/* chop */",
                                             "/* same_frame_extended */",
                                             "/* append */",
                                             "/* full_frame */"};
    if (progress < VQFrameProgress::header) return true;
    VQJavapLineWriter& w = c.w;
    w.println("frame_type = " + std::to_string(f.frameType) + " " +
              kKinds[static_cast<uint8_t>(f.kind)]);
    w.indent(1);
    bool ok = true;
    if (f.frameType >= 247) w.println("offset_delta = " + std::to_string(f.offsetDelta));
    switch (f.kind) {
        case VQStackMapFrameKind::sameLocals1StackItem:
        case VQStackMapFrameKind::sameLocals1StackItemExtended:
            if (complete) ok = appendTypeMap(c, "stack", table.stack(f));
            break;
        case VQStackMapFrameKind::append:
            if (complete) ok = appendTypeMap(c, "locals", table.locals(f));
            break;
        case VQStackMapFrameKind::full:
            if (progress >= VQFrameProgress::locals)
                ok = appendTypeMap(c, "locals", table.locals(f));
            if (ok && complete) ok = appendTypeMap(c, "stack", table.stack(f));
            break;
        default:
            break;
    }
    w.indent(-1);
    return ok;
}

void appendStackMapTable(Context& c, std::span<const uint8_t> info) {
    const VQStackMapTable table(info, &c.pool);
    const auto& fault = table.fault();
    if (fault && fault->offset == 0) return c.w.report("malformed StackMapTable");
    VQJavapLineWriter& w = c.w;
    w.println("StackMapTable: number_of_entries = " + std::to_string(table.numberOfEntries()));
    w.indent(1);
    const auto frames = table.frames();
    for (size_t k = 0; k < frames.size(); ++k) {
        if (!appendFrame(c, table, frames[k], VQFrameProgress::locals, true)) {
            w.indent(-1);
            return w.report("malformed StackMapTable entry " + std::to_string(k));
        }
    }
    // Trailing bytes pass; javap stops without a word where a frame's offset delta is cut.
    if (fault && fault->entry < table.numberOfEntries() &&
        fault->progress != VQFrameProgress::type) {
        appendFrame(c, table, fault->partial, fault->progress, false);
        w.indent(-1);
        return w.report("malformed StackMapTable entry " + std::to_string(fault->entry));
    }
    w.indent(-1);
}

// ---- Type annotations ----------------------------------------------------------------

// One type annotation: the unresolved form with its target on the first line, the
// resolved annotation below it.
bool writeTypeAnnotation(Context& c, const VQTypeAnnotationTable& table,
                         const VQTypeAnnotation& a) {
    VQJavapLineWriter& w = c.w;
    std::string target = VQTypeAnnotationTargetName(a.targetType);
    switch (a.targetType) {
        case 0x00:
        case 0x01:
            target += ", param_index=" + std::to_string(a.typeParameterIndex);
            break;
        case 0x10:
            target += ", type_index=" + std::to_string(static_cast<int16_t>(a.supertypeIndex));
            break;
        case 0x11:
        case 0x12:
            target += ", param_index=" + std::to_string(a.typeParameterIndex) +
                      ", bound_index=" + std::to_string(a.boundIndex);
            break;
        case 0x16:
            target += ", param_index=" + std::to_string(a.formalParameterIndex);
            break;
        case 0x17:
            target += ", type_index=" + std::to_string(a.throwsTypeIndex);
            break;
        case 0x42:
            target += ", exception_index=" + std::to_string(a.exceptionTableIndex);
            break;
        case 0x40:
        case 0x41: {
            if (a.rangeCount == 0) {
                target += ", lvarOffset is Null!";
                break;
            }
            target += ", {";
            bool first = true;
            for (const VQLocalVariableRange& r : table.ranges(a)) {
                if (!first) target += "; ";
                first = false;
                target += "start_pc=" + std::to_string(r.startPc) +
                          ", length=" + std::to_string(r.length) +
                          ", index=" + std::to_string(r.index);
            }
            target += "}";
            break;
        }
        case 0x43:
        case 0x44:
        case 0x45:
        case 0x46:
            target += ", offset=" + std::to_string(a.offset);
            break;
        case 0x47:
        case 0x48:
        case 0x49:
        case 0x4A:
        case 0x4B:
            target += ", offset=" + std::to_string(a.offset) +
                      ", type_index=" + std::to_string(a.typeArgumentIndex);
            break;
        default:
            break;
    }
    if (a.pathLength > 0) {
        static constexpr const char* kKinds[] = {"ARRAY", "INNER_TYPE", "WILDCARD",
                                                 "TYPE_ARGUMENT"};
        target += ", location=[";
        bool first = true;
        for (const VQTypePathStep& step : table.path(a)) {
            if (!first) target += ", ";
            first = false;
            target += kKinds[step.kind];
            if (step.kind == VQTypePathStep::typeArgument)
                target.append(1, '(').append(std::to_string(step.typeArgumentIndex)).append(1, ')');
        }
        target += "]";
    }
    VQByteCursor cursor(a.annotation);
    if (!javap::printJavapAnnotation(w, c.pool, cursor, false)) return false;
    w.print(": ");
    w.print(target);
    w.println();
    w.indent(1);
    VQByteCursor again(a.annotation);
    const bool ok = javap::printJavapAnnotation(w, c.pool, again, true);
    w.indent(-1);
    return ok;
}

// The block of one type-annotation attribute, written only when all of it decodes.
void appendTypeAnnotationsBlock(Context& outer, std::string_view name,
                                std::span<const uint8_t> info, int indent) {
    const VQTypeAnnotationTable table(info);
    std::string text;
    VQJavapLineWriter w(text, nullptr, indent);
    Context c{outer.pool, outer.thisClass, w, outer.references};
    bool ok = !table.fault();
    if (ok) {
        w.print(name);
        w.println(":");
        w.indent(1);
        const auto annotations = table.annotations();
        for (size_t k = 0; ok && k < annotations.size(); ++k) {
            w.print(std::to_string(k) + ": ");
            ok = writeTypeAnnotation(c, table, annotations[k]);
            w.println();
        }
    }
    if (ok)
        outer.w.printLines(text);
    else
        outer.w.report("malformed " + std::string(name));
}

void appendUnknownAttribute(Context& c, const VQLayoutAttribute& a) {
    VQJavapLineWriter& w = c.w;
    std::string line = "  ";
    std::string name;
    c.pool.text(a.nameIndex, name);
    line += name;
    line += ": length = 0x" + format("%zX", a.info.size()) + " (unknown attribute)";
    w.println(line);
    w.print("   ");
    size_t column = 0;
    for (uint8_t byte : a.info) {
        w.print(format("%02X", byte));
        if (++column == 16) {
            w.println();
            w.print("   ");
            column = 0;
        } else {
            w.print(" ");
        }
    }
    w.println();
}

void appendCodeAttributes(Context& c, const VQCodeAttribute& code) {
    for (const VQLayoutAttribute& a : code.attributes()) {
        if (a.name == "LineNumberTable") {
            appendLineNumbers(c, a.info);
        } else if (a.name == "LocalVariableTable") {
            appendLocalVariables(c, a.info, "LocalVariableTable");
        } else if (a.name == "LocalVariableTypeTable") {
            appendLocalVariables(c, a.info, "LocalVariableTypeTable");
        } else if (a.name == "StackMapTable") {
            appendStackMapTable(c, a.info);
        } else if (a.name == "RuntimeVisibleTypeAnnotations" ||
                   a.name == "RuntimeInvisibleTypeAnnotations" || a.name == "CharacterRangeTable") {
            // Printed by the type-annotation writer; the range table is javac's debugging
            // aid, which javap shows only with its own option.
        } else {
            appendUnknownAttribute(c, a);
        }
    }
}

}  // namespace

std::string_view VQJavapReferenceTexts::text(uint32_t index, uint32_t thisClass) {
    if (_spans.empty()) _spans.resize(_pool.size());
    if (index >= _spans.size()) return "???";
    Span& span = _spans[index];
    if (span.length == 0) {
        const size_t start = _texts.size();
        if (!_pool.appendJavapReference(index, thisClass, _texts)) {
            _texts.resize(start);
            _texts += "???";
        }
        span = {static_cast<uint32_t>(start), static_cast<uint32_t>(_texts.size() - start)};
    }
    return std::string_view(_texts).substr(span.start, span.length);
}

void VQAppendJavapCode(const VQJavaClass& owner, const VQJavaMethod& method,
                       const VQJavapCodeOptions& options, std::string& out) {
    if (!options.verbose && !options.instructions) return;
    const VQCodeAttribute* code = owner.code(method);
    if (!code) return;
    const VQClassFileLayout* layout = owner.classFileLayout();
    VQJavapLineWriter w(out, nullptr, 2);
    VQJavapReferenceTexts ownReferences(code->pool());
    const bool shared = options.references && &options.references->pool() == &code->pool();
    Context c{code->pool(), layout ? layout->thisClass() : 0u, w,
              shared ? *options.references : ownReferences};
    w.println("Code:");
    w.indent(1);
    if (const auto& fault = code->structureFault()) {
        w.report(std::string("malformed Code: ") + fault->reason + " at offset " +
                 std::to_string(fault->offset));
        return;
    }
    if (options.verbose) {
        uint32_t args = method.numberOfArguments();
        if (!method.isStatic()) ++args;
        w.println("stack=" + std::to_string(code->maxStack()) + ", locals=" +
                  std::to_string(code->maxLocals()) + ", args_size=" + std::to_string(args));
    }
    appendInstructions(c, *code, out);
    appendExceptionTable(c, *code);
    if (options.verbose) {
        appendCodeAttributes(c, *code);
    } else if (options.lines) {
        // The first of each, in this order, whatever the order in the file.
        if (const VQLayoutAttribute* lines = code->attribute("LineNumberTable"))
            appendLineNumbers(c, lines->info);
        if (const VQLayoutAttribute* locals = code->attribute("LocalVariableTable"))
            appendLocalVariables(c, locals->info, "LocalVariableTable");
    }
}

void VQAppendJavapTypeAnnotations(const VQJavaClass& owner, std::string_view attributeName,
                                  std::span<const uint8_t> info, int indent, std::string& out) {
    const VQConstantPoolEntries* pool = owner.constantPool();
    if (!pool) return;
    const VQClassFileLayout* layout = owner.classFileLayout();
    VQJavapLineWriter w(out, nullptr, 0);
    VQJavapReferenceTexts references(*pool);
    Context c{*pool, layout ? layout->thisClass() : 0u, w, references};
    appendTypeAnnotationsBlock(c, attributeName, info, indent / 2);
}

}  // namespace ornith
