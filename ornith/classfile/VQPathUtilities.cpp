#include "ornith/classfile/VQPathUtilities.h"

#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornith {

std::string stringByConvertingJavaIdentifierToPath(std::string_view receiver) {
    std::string out(receiver);
    for (char& c : out)
        if (c == '.') c = '/';
    return out;
}

std::string stringByConvertingPathToJavaIdentifier(std::string_view receiver) {
    std::string out(receiver);
    convertPathToJavaIdentifierInPlace(out);
    return out;
}

void convertPathToJavaIdentifierInPlace(std::string& path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    convertSeparatorsToDots(path.data(), path.size());
}

namespace {

// '/' (and '\\' too when asked) becomes '.'. Names are short, so a vectorised loop
// would spend most of one in its byte-by-byte tail: sixteen bytes go at a time, and the
// last sixteen again where the length is no multiple (the change repeats harmlessly).
template <bool backslashes>
void separatorsToDots(char* text, size_t length) noexcept {
#if defined(__SSE2__)
    if (length >= 16) {
        const __m128i slash = _mm_set1_epi8('/');
        const __m128i backslash = _mm_set1_epi8('\\');
        const __m128i dot = _mm_set1_epi8('.');
        auto convert = [&](char* at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            __m128i hit = _mm_cmpeq_epi8(v, slash);
            if constexpr (backslashes) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, backslash));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                             _mm_or_si128(_mm_andnot_si128(hit, v), _mm_and_si128(hit, dot)));
        };
        for (size_t at = 0; at + 16 <= length; at += 16) convert(text + at);
        if (length % 16 != 0) convert(text + length - 16);
        return;
    }
#endif
    for (size_t i = 0; i < length; ++i)
        if (text[i] == '/' || (backslashes && text[i] == '\\')) text[i] = '.';
}

}  // namespace

void convertSeparatorsToDots(char* text, size_t length) noexcept {
    separatorsToDots<true>(text, length);
}

void appendDottedName(std::string_view slashed, std::string& out) {
    const size_t at = out.size();
    out.append(slashed);
    separatorsToDots<false>(out.data() + at, slashed.size());
}

std::string stringByAppendingJavaComponent(std::string_view receiver, std::string_view component) {
    std::string out;
    out.reserve(receiver.size() + 1 + component.size());
    out.append(receiver).append(1, '.').append(component);
    return out;
}

std::string stringByDeletingLastJavaComponent(std::string_view receiver) {
    size_t dot = receiver.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(receiver.substr(0, dot));
}

std::string lastJavaComponent(std::string_view receiver) {
    size_t dot = receiver.rfind('.');
    return std::string(dot == std::string_view::npos ? receiver : receiver.substr(dot + 1));
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

void appendVariable(std::string& out, std::string_view name) {
    if (name.empty()) return;
    // getenv needs a terminated name; a name holding NUL cannot be set, so it expands to nothing.
    std::string key(name);
    if (key.find('\0') != std::string::npos) return;
    if (const char* value = std::getenv(key.c_str())) out.append(value);
}

}  // namespace

std::string stringByExpandingEnvironmentVariables(std::string_view receiver) {
    size_t i = 0;
    const size_t n = receiver.size();
    while (i < n && isBlank(receiver[i])) ++i;
    std::string out;
    out.reserve(n - i);
    while (i < n) {
        size_t dollar = receiver.find('$', i);
        if (dollar == std::string_view::npos) {
            out.append(receiver.substr(i));
            break;
        }
        out.append(receiver.substr(i, dollar - i));
        i = dollar + 1;
        if (i < n && receiver[i] == '{') {
            size_t start = i + 1;
            size_t end = receiver.find_first_of(":}", start);
            if (end == std::string_view::npos) end = n;
            appendVariable(out, receiver.substr(start, end - start));
            size_t close = receiver.find('}', end);
            i = close == std::string_view::npos ? n : close + 1;
        } else {
            size_t start = i;
            while (i < n && isNameCharacter(receiver[i])) ++i;
            appendVariable(out, receiver.substr(start, i - start));
        }
    }
    return out;
}

}  // namespace ornith
