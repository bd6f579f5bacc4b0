#include "ornith/classfile/VQJavaNumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace ornith {

namespace {

// Lays out a decimal the way Java does: `digits` (no leading or trailing zeros, at least
// one) times ten to the power `exponent`, read as d.ddd. Plain notation from 10^-3 up to
// below 10^7, computerized scientific notation otherwise; always a digit after the point.
std::string javaLayout(bool negative, std::string_view digits, int exponent) {
    std::string out;
    if (negative) out.push_back('-');
    if (exponent >= 0 && exponent < 7) {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out.append(digits);
            out.append(whole - digits.size(), '0');
            out.append(".0");
        } else {
            out.append(digits.substr(0, whole));
            out.push_back('.');
            out.append(digits.substr(whole));
        }
    } else if (exponent < 0 && exponent >= -3) {
        out.append("0.");
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out.append(digits);
    } else {
        out.push_back(digits[0]);
        out.push_back('.');
        if (digits.size() > 1)
            out.append(digits.substr(1));
        else
            out.push_back('0');
        out.push_back('E');
        out.append(std::to_string(exponent));
    }
    return out;
}

// Splits to_chars scientific output ("d.ddde+XX") into significant digits and exponent,
// dropping trailing zeros of the digits.
void splitScientific(const char* begin, const char* end, std::string& digits, int& exponent) {
    const char* e =
        static_cast<const char*>(std::memchr(begin, 'e', static_cast<size_t>(end - begin)));
    digits.clear();
    for (const char* p = begin; p < e; ++p)
        if (*p != '.') digits.push_back(*p);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    exponent = 0;
    const char* p = e + 1;
    if (*p == '+') ++p;
    std::from_chars(p, end, exponent);
}

// Java picks the shortest decimal that reads back as the value, except that where one
// digit would do it takes the closest decimal of two digits (4.9E-324 rather than 5.0E-324).
template <class F>
std::string javaText(F value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    const bool negative = std::signbit(value);
    if (value == 0) return negative ? "-0.0" : "0.0";
    const F magnitude = negative ? -value : value;

    char buffer[64];
    auto shortest =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    std::string digits;
    int exponent;
    splitScientific(buffer, shortest.ptr, digits, exponent);
    if (digits.size() == 1) {
        auto two = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                 std::chars_format::scientific, 1);
        splitScientific(buffer, two.ptr, digits, exponent);
    }
    return javaLayout(negative, digits, exponent);
}

}  // namespace

std::string VQJavaFloatText(float value) {
    return javaText(value);
}
std::string VQJavaDoubleText(double value) {
    return javaText(value);
}

}  // namespace ornith
