#include "ornith/model/VQJavapCode.h"

#include <cstdio>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/model/VQJavapAnnotationText.h"

namespace ornith {

namespace {

// javap's line writer: spaces are held back until something follows them on the line
// (so no line ends in spaces), a line's indentation is given when its first character
// comes, and a tab moves to the comment column of the current indentation.
class JavapLines {
public:
    JavapLines(std::string& out, int indent) : _out(out), _indent(indent) {}

    void print(std::string_view text) {
        for (char c : text) {
            if (c == ' ') {
                ++_pending;
            } else if (c == '\n') {
                println();
            } else {
                if (_line.empty()) _pending += _indent * kIndentWidth;
                if (_pending > 0) _line.append(static_cast<size_t>(_pending), ' ');
                _pending = 0;
                _line += c;
            }
        }
    }
    void print(int64_t number) { print(std::to_string(number)); }
    void println(std::string_view text) {
        print(text);
        println();
    }
    void println() {
        _pending = 0;
        _out += _line;
        _out += '\n';
        _line.clear();
    }
    void indent(int delta) { _indent += delta; }
    int indentLevel() const noexcept { return _indent; }
    // Text already laid out in lines, from the start of a line.
    void printRaw(std::string_view lines) { _out += lines; }
    void tab() {
        const int column = _indent * kIndentWidth + kTabColumn;
        const int length = static_cast<int>(_line.size());
        _pending += column <= length ? 1 : column - length;
    }
    // A report of a fault: javap writes it on a line of its own, unindented, past what
    // the line writer holds.
    void report(std::string_view message) {
        _out += "Error: ";
        _out += message;
        _out += '\n';
    }
    // Scratch for formatting, so that a method's text allocates only as it grows.
    std::string& scratch() { return _scratch; }

private:
    static constexpr int kIndentWidth = 2;
    static constexpr int kTabColumn = 40;
    std::string& _out;
    std::string _line;
    std::string _scratch;
    int _indent;
    int _pending = 0;
};

std::string format(const char* pattern, auto... values) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

struct Context {
    const VQConstantPoolEntries& pool;
    uint32_t thisClass;
    JavapLines& w;

    // "#n" and the comment of the entry an instruction names.
    void poolReference(uint32_t index, int64_t extra, bool withExtra) {
        std::string& s = w.scratch();
        s = "#" + std::to_string(index);
        if (withExtra) s += ",  " + std::to_string(extra);
        w.print(s);
        w.tab();
        w.print("// ");
        s.clear();
        if (!pool.appendJavapReference(index, thisClass, s)) s = "???";
        w.print(s);
    }
    // The escaped text of a Utf8 entry (the names and descriptors of the debug tables).
    std::string utf8Value(uint32_t index) {
        std::string s;
        if (pool.tag(index) != kVQConstantUtf8 || !pool.appendJavapValue(index, s)) s = "???";
        return s;
    }
};

void appendInstruction(Context& c, const VQInstruction& i) {
    JavapLines& w = c.w;
    std::string name = i.mnemonic();
    if (i.wide) name += "_w";
    w.print(format("%4u: %-13s ", i.offset, name.c_str()));
    switch (i.form) {
        case VQOperandForm::branch:
            // jsr and jsr_w are discontinued: javap shows no target for them.
            if (i.opcode != 0xA8 && i.opcode != 0xC9) w.print(int64_t{i.target});
            break;
        case VQOperandForm::byteValue:
        case VQOperandForm::shortValue:
            w.print(int64_t{i.value});
            break;
        case VQOperandForm::constant:
        case VQOperandForm::field:
        case VQOperandForm::method:
        case VQOperandForm::type:
            c.poolReference(i.poolIndex, 0, false);
            break;
        case VQOperandForm::interfaceMethod:
        case VQOperandForm::multiArray:
            c.poolReference(i.poolIndex, i.value, true);
            break;
        case VQOperandForm::dynamic:
            c.poolReference(i.poolIndex, 0, true);
            break;
        case VQOperandForm::local:
            if (i.opcode != 0xA9) w.print(int64_t{i.local});  // ret is discontinued
            break;
        case VQOperandForm::increment:
            w.print(std::to_string(i.local) + ", " + std::to_string(i.value));
            break;
        case VQOperandForm::newArrayType:
            w.print(" ");
            w.print(VQNewArrayTypeName(static_cast<uint8_t>(i.value)));
            break;
        case VQOperandForm::tableSwitch:
        case VQOperandForm::lookupSwitch: {
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
            break;
        }
        case VQOperandForm::none:
        case VQOperandForm::wide:
            break;
    }
    w.println();
}

void appendInstructions(Context& c, const VQCodeAttribute& code) {
    VQInstructionDecoder decoder = code.instructions();
    VQInstruction instruction;
    while (decoder.next(instruction)) appendInstruction(c, instruction);
    if (decoder.fault() != VQCodeFault::none)
        c.w.report("error at or after address " + std::to_string(decoder.faultOffset()) + ": " +
                   VQCodeFaultReason(decoder.fault()));
}

void appendExceptionTable(Context& c, const VQCodeAttribute& code) {
    if (code.exceptionTable().empty()) return;
    JavapLines& w = c.w;
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
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!cursor.be16(n) || size_t{n} * 4 != cursor.remaining())
        return c.w.report("malformed LineNumberTable");
    c.w.println("LineNumberTable:");
    c.w.indent(1);
    for (uint32_t k = 0; k < n; ++k) {
        uint16_t pc = 0, line = 0;
        cursor.be16(pc), cursor.be16(line);
        c.w.println("line " + std::to_string(line) + ": " + std::to_string(pc));
    }
    c.w.indent(-1);
}

void appendLocalVariables(Context& c, std::span<const uint8_t> info, const char* title) {
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!cursor.be16(n) || size_t{n} * 10 != cursor.remaining())
        return c.w.report(std::string("malformed ") + title);
    c.w.print(title);
    c.w.println(":");
    c.w.indent(1);
    c.w.println("Start  Length  Slot  Name   Signature");
    for (uint32_t k = 0; k < n; ++k) {
        uint16_t start = 0, length = 0, name = 0, type = 0, slot = 0;
        cursor.be16(start), cursor.be16(length), cursor.be16(name), cursor.be16(type),
            cursor.be16(slot);
        const std::string nameText = c.utf8Value(name);
        const std::string typeText = c.utf8Value(type);
        char head[48];
        std::snprintf(head, sizeof head, "%5u %7u %5u ", start, length, slot);
        std::string line = head;
        if (nameText.size() < 5) line.append(5 - nameText.size(), ' ');
        line += nameText;
        line += "   ";
        line += typeText;
        c.w.println(line);
    }
    c.w.indent(-1);
}

// One verification type of a stack map frame; false when it does not decode.
bool appendVerificationType(Context& c, VQByteCursor& cursor, std::string& out) {
    uint8_t tag = 0;
    if (!cursor.u8(tag)) return false;
    static constexpr const char* kSimple[] = {"top",  "int",  "float", "double",
                                              "long", "null", "this"};
    if (tag <= 6) {
        out += ' ';
        out += kSimple[tag];
        return true;
    }
    uint16_t value = 0;
    if (tag > 8 || !cursor.be16(value)) return false;
    if (tag == 7) {
        out += ' ';
        return c.pool.tag(value) == kVQConstantClass && c.pool.appendJavapReference(value, 0, out);
    }
    out += " uninitialized " + std::to_string(value);
    return true;
}

bool appendTypeMap(Context& c, VQByteCursor& cursor, const char* name, uint32_t count) {
    std::string line = std::string(name) + " = [";
    for (uint32_t k = 0; k < count; ++k) {
        if (!appendVerificationType(c, cursor, line)) return false;
        line += k + 1 == count ? " " : ",";
    }
    line += "]";
    c.w.println(line);
    return true;
}

void appendStackMapTable(Context& c, std::span<const uint8_t> info) {
    VQByteCursor cursor(info);
    uint16_t n = 0;
    if (!cursor.be16(n)) return c.w.report("malformed StackMapTable");
    JavapLines& w = c.w;
    w.println("StackMapTable: number_of_entries = " + std::to_string(n));
    w.indent(1);
    auto header = [&](uint8_t type, const char* kind) {
        w.println("frame_type = " + std::to_string(type) + " " + kind);
    };
    for (uint32_t k = 0; k < n; ++k) {
        uint8_t type = 0;
        uint16_t delta = 0;
        bool ok = cursor.u8(type);
        if (ok && type < 64) {
            header(type, "/* same */");
        } else if (ok && type < 128) {
            header(type, "/* same_locals_1_stack_item */");
            w.indent(1);
            ok = appendTypeMap(c, cursor, "stack", 1);
            w.indent(-1);
        } else if (ok && type >= 247) {
            ok = cursor.be16(delta);
            if (!ok) break;
            static constexpr const char* kKinds[] = {
                "/* same_locals_1_stack_item_frame_extended */",
                "/* chop */",
                "/* chop */",
                "/* chop */",
                "/* same_frame_extended */",
                "/* append */",
                "/* append */",
                "/* append */",
                "/* full_frame */"};
            header(type, kKinds[type - 247]);
            w.indent(1);
            w.println("offset_delta = " + std::to_string(delta));
            if (type == 247) {
                ok = appendTypeMap(c, cursor, "stack", 1);
            } else if (type >= 252 && type <= 254) {
                ok = appendTypeMap(c, cursor, "locals", type - 251u);
            } else if (type == 255) {
                uint16_t locals = 0, stack = 0;
                ok = cursor.be16(locals) && appendTypeMap(c, cursor, "locals", locals) &&
                     cursor.be16(stack) && appendTypeMap(c, cursor, "stack", stack);
            }
            w.indent(-1);
        } else {
            ok = false;
        }
        if (!ok) {
            w.indent(-1);
            return w.report("malformed StackMapTable entry " + std::to_string(k));
        }
    }
    w.indent(-1);
}

// ---- Type annotations ----------------------------------------------------------------

const char* targetTypeName(uint8_t type) noexcept {
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

// One type annotation: the unresolved form with its target on the first line, the
// resolved annotation below it.
bool writeTypeAnnotation(Context& c, VQByteCursor& cursor) {
    JavapLines& w = c.w;
    uint8_t type = 0;
    if (!cursor.u8(type) || !targetTypeName(type)) return false;
    std::string target = targetTypeName(type);
    uint8_t b = 0;
    uint16_t x = 0;
    switch (type) {
        case 0x00:
        case 0x01:
            if (!cursor.u8(b)) return false;
            target += ", param_index=" + std::to_string(b);
            break;
        case 0x10:
            if (!cursor.be16(x)) return false;
            target += ", type_index=" + std::to_string(static_cast<int16_t>(x));
            break;
        case 0x11:
        case 0x12: {
            uint8_t bound = 0;
            if (!cursor.u8(b) || !cursor.u8(bound)) return false;
            target +=
                ", param_index=" + std::to_string(b) + ", bound_index=" + std::to_string(bound);
            break;
        }
        case 0x13:
        case 0x14:
        case 0x15:
            break;
        case 0x16:
            if (!cursor.u8(b)) return false;
            target += ", param_index=" + std::to_string(b);
            break;
        case 0x17:
        case 0x42:
            if (!cursor.be16(x)) return false;
            target += (type == 0x17 ? ", type_index=" : ", exception_index=") + std::to_string(x);
            break;
        case 0x40:
        case 0x41: {
            if (!cursor.be16(x)) return false;
            if (x == 0) {
                target += ", lvarOffset is Null!";
                break;
            }
            target += ", {";
            for (uint32_t k = 0; k < x; ++k) {
                uint16_t start = 0, length = 0, index = 0;
                if (!cursor.be16(start) || !cursor.be16(length) || !cursor.be16(index))
                    return false;
                if (k != 0) target += "; ";
                target += "start_pc=" + std::to_string(start) +
                          ", length=" + std::to_string(length) + ", index=" + std::to_string(index);
            }
            target += "}";
            break;
        }
        case 0x43:
        case 0x44:
        case 0x45:
        case 0x46:
            if (!cursor.be16(x)) return false;
            target += ", offset=" + std::to_string(x);
            break;
        default:  // 0x47 to 0x4B
            if (!cursor.be16(x) || !cursor.u8(b)) return false;
            target += ", offset=" + std::to_string(x) + ", type_index=" + std::to_string(b);
            break;
    }
    uint8_t pathLength = 0;
    if (!cursor.u8(pathLength)) return false;
    if (pathLength > 0) {
        static constexpr const char* kKinds[] = {"ARRAY", "INNER_TYPE", "WILDCARD",
                                                 "TYPE_ARGUMENT"};
        target += ", location=[";
        for (uint32_t k = 0; k < pathLength; ++k) {
            uint8_t kind = 0, argument = 0;
            if (!cursor.u8(kind) || !cursor.u8(argument) || kind > 3) return false;
            if (k > 0) target += ", ";
            target += kKinds[kind];
            if (kind == 3) target += "(" + std::to_string(argument) + ")";
        }
        target += "]";
    }
    const size_t annotationAt = cursor.position();
    if (!javap::printJavapAnnotation(w, c.pool, cursor, false)) return false;
    w.print(": ");
    w.print(target);
    w.println();
    w.indent(1);
    VQByteCursor again = cursor;
    again.seek(annotationAt);
    const bool ok = javap::printJavapAnnotation(w, c.pool, again, true);
    w.indent(-1);
    return ok;
}

// The block of one type-annotation attribute, written only when all of it decodes.
void appendTypeAnnotationsBlock(Context& outer, std::string_view name,
                                std::span<const uint8_t> info, int indent) {
    std::string text;
    JavapLines w(text, indent);
    Context c{outer.pool, outer.thisClass, w};
    VQByteCursor cursor(info);
    uint16_t n = 0;
    bool ok = cursor.be16(n);
    if (ok) {
        w.print(name);
        w.println(":");
        w.indent(1);
        for (uint32_t k = 0; ok && k < n; ++k) {
            w.print(std::to_string(k) + ": ");
            ok = writeTypeAnnotation(c, cursor);
            w.println();
        }
        ok = ok && cursor.atEnd();
    }
    if (ok)
        outer.w.printRaw(text);
    else
        outer.w.report("malformed " + std::string(name));
}

void appendUnknownAttribute(Context& c, const VQLayoutAttribute& a) {
    JavapLines& w = c.w;
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

void VQAppendJavapCode(const VQJavaClass& owner, const VQJavaMethod& method,
                       const VQJavapCodeOptions& options, std::string& out) {
    if (!options.verbose && !options.instructions) return;
    const VQCodeAttribute* code = owner.code(method);
    if (!code) return;
    const VQClassFileLayout* layout = owner.classFileLayout();
    JavapLines w(out, 2);
    Context c{code->pool(), layout ? layout->thisClass() : 0u, w};
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
    appendInstructions(c, *code);
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
    JavapLines w(out, 0);
    Context c{*pool, layout ? layout->thisClass() : 0u, w};
    appendTypeAnnotationsBlock(c, attributeName, info, indent / 2);
}

}  // namespace ornith
