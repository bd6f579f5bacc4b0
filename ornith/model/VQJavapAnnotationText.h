#pragma once
// Annotations and their element values as javap writes them: by index ("#12(#13=s#14)")
// or resolved, one element a line ("p.Marker(\n  value=\"x\"\n)"). The attribute printer of
// -v and the type-annotation printer of Code blocks write through line writers of their
// own; any type with print(text), println() and indent(delta) serves.
//
// A printer reads the bytes at the cursor and answers false at the first thing that does
// not decode, with what it has written so far left as it is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ornith/base/VQByteCursor.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaSignature.h"

namespace ornith::javap {

// Nesting deeper than any real annotation is a hostile file's: reading stops there.
constexpr int kMaxElementValueDepth = 64;

// javap's stringValue of an entry; "???" for one that holds nothing it can show.
inline std::string poolValue(const VQConstantPoolEntries& pool, uint32_t index) {
    std::string out;
    if (!pool.appendJavapValue(index, out)) return "???";
    return out;
}

inline std::string indexText(char tag, uint32_t index) {
    std::string out;
    if (tag) out.push_back(tag);
    out.push_back('#');
    out += std::to_string(index);
    return out;
}

// A char element value: the character itself, unescaped, as javap's UTF-8 output gives it
// (a lone surrogate, which no UTF-8 encodes, as '?'); the index for an entry that is not
// an Integer.
inline std::string charValue(const VQConstantPoolEntries& pool, uint32_t index) {
    std::string out = "'";
    if (pool.tag(index) == kVQConstantInteger) {
        const auto unit = static_cast<char16_t>(pool.intValue(index));
        if (unit >= 0xD800 && unit <= 0xDFFF)
            out.push_back('?');
        else
            VQAppendUTF8(out, unit);
    } else {
        out += indexText(0, index);
    }
    out.push_back('\'');
    return out;
}

template <class Lines>
bool printJavapAnnotation(Lines& w, const VQConstantPoolEntries& pool, VQByteCursor& cursor,
                          bool resolve, int depth = 0);

template <class Lines>
bool printJavapElementValue(Lines& w, const VQConstantPoolEntries& pool, VQByteCursor& cursor,
                            bool resolve, int depth = 0) {
    uint8_t tag = 0;
    if (depth > kMaxElementValueDepth || !cursor.u8(tag)) return false;
    const char tagChar = static_cast<char>(tag);
    uint16_t first = 0, second = 0;
    // The constants: a number, a char, a boolean or a string, each one index.
    if (std::string_view("BCDFIJSZs").find(tagChar) != std::string_view::npos) {
        if (!cursor.be16(first)) return false;
        if (!resolve) {
            w.print(indexText(tagChar, first));
        } else if (tagChar == 'B') {
            w.print("(byte) " + poolValue(pool, first));
        } else if (tagChar == 'S') {
            w.print("(short) " + poolValue(pool, first));
        } else if (tagChar == 'C') {
            w.print(charValue(pool, first));
        } else if (tagChar == 'Z') {
            const bool isInt = pool.tag(first) == kVQConstantInteger;
            const int32_t v = isInt ? pool.intValue(first) : -1;
            w.print(v == 0 ? "false" : v == 1 ? "true" : indexText(0, first));
        } else if (tagChar == 's') {
            w.print("\"" + poolValue(pool, first) + "\"");
        } else {
            w.print(poolValue(pool, first));
        }
        return true;
    }
    switch (tagChar) {
        case 'e':
            if (!cursor.be16(first) || !cursor.be16(second)) return false;
            if (resolve)
                w.print(poolValue(pool, first) + "." + poolValue(pool, second));
            else
                w.print(indexText('e', first) + "." + indexText(0, second));
            return true;
        case 'c':
            if (!cursor.be16(first)) return false;
            w.print(resolve ? "class " + poolValue(pool, first) : indexText('c', first));
            return true;
        case '@':
            w.print("@");
            return printJavapAnnotation(w, pool, cursor, resolve, depth + 1);
        case '[': {
            if (!cursor.be16(first)) return false;
            w.print("[");
            for (uint32_t k = 0; k < first; ++k) {
                if (k > 0) w.print(",");
                if (!printJavapElementValue(w, pool, cursor, resolve, depth + 1)) return false;
            }
            w.print("]");
            return true;
        }
        default:
            return false;
    }
}

template <class Lines>
bool printJavapAnnotation(Lines& w, const VQConstantPoolEntries& pool, VQByteCursor& cursor,
                          bool resolve, int depth) {
    uint16_t type = 0, count = 0;
    if (!cursor.be16(type) || !cursor.be16(count)) return false;
    if (!resolve) {
        w.print(indexText(0, type) + "(");
        for (uint32_t k = 0; k < count; ++k) {
            uint16_t name = 0;
            if (!cursor.be16(name)) return false;
            if (k > 0) w.print(",");
            w.print(indexText(0, name) + "=");
            if (!printJavapElementValue(w, pool, cursor, false, depth + 1)) return false;
        }
        w.print(")");
        return true;
    }
    // The type as the source names it; javap reads the descriptor as a signature.
    std::string descriptor;
    if (pool.tag(type) != kVQConstantUtf8 || !pool.text(type, descriptor)) return false;
    const std::optional<VQSignatureType> parsed = VQParseTypeSignature(descriptor);
    w.print(parsed ? parsed->javaText() : descriptor);
    if (count > 0) {
        w.println("(");
        w.indent(+1);
    }
    bool ok = true;
    for (uint32_t k = 0; ok && k < count; ++k) {
        uint16_t name = 0;
        ok = cursor.be16(name);
        if (!ok) break;
        w.print(poolValue(pool, name) + "=");
        ok = printJavapElementValue(w, pool, cursor, true, depth + 1);
        w.println();
    }
    // The indentation is given back even when a value fails, so that what the caller
    // prints after its report stands where it would.
    if (count > 0) {
        w.indent(-1);
        if (ok) w.print(")");
    }
    return ok;
}

}  // namespace ornith::javap
