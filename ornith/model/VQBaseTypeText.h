#pragma once
// The Java text of a descriptor's base-type letter, for descriptors and generic signatures
// alike.

#include <cstdint>
#include <string_view>

namespace ornith {

// "int" for 'I', "void" for 'V' ...; empty for 'L' and for any letter outside the table.
inline std::string_view VQBaseTypeText(int32_t code) noexcept {
    switch (code) {
        case 'B':
            return "byte";
        case 'C':
            return "char";
        case 'D':
            return "double";
        case 'F':
            return "float";
        case 'I':
            return "int";
        case 'J':
            return "long";
        case 'S':
            return "short";
        case 'V':
            return "void";
        case 'Z':
            return "boolean";
        default:
            return {};
    }
}

}  // namespace ornith
