#pragma once
// The per-character path of VQUnicodeStream, inlined into the lexer's scanning loops.
// Internal: the exported functions in VQUnicodeStream.h are thin wrappers around these.

#include <array>
#include <cstdint>
#include <cstdlib>

#include "ornith/lexer/VQUnicodeStream.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornith::lexer_detail {

// Grows a buffer of 16-bit units (a line, a token's text) so that it holds `needed` units,
// by the rule 2 x old + 8 as often as needed but never beyond `limit`, with `slack` spare
// units allocated past the capacity. When memory runs out the buffer stays as it was; the
// caller sees how much room there is from the capacity.
inline void growUnits(char16_t*& units, uint32_t& capacity, uint64_t needed, uint64_t limit,
                      uint32_t slack) {
    uint64_t grown = capacity;
    while (grown < needed && grown < limit) grown = 2 * grown + 8;
    if (grown > limit) grown = limit;
    if (grown <= capacity) return;
    if (void* moved = std::realloc(units, (grown + slack) * sizeof(char16_t))) {
        units = static_cast<char16_t*>(moved);
        capacity = static_cast<uint32_t>(grown);
    }
}

// Switches a freshly opened stream to the reading of the Java releases: one-byte input is
// decoded as UTF-8 (a malformed sequence becomes U+FFFD), and a backslash preceded by an odd
// number of raw backslashes begins no Unicode escape. Problems in a line (a malformed
// sequence, an invalid Unicode escape) are handed to `report` with their index in the line,
// when the line is read or the escape is met.
void setReleaseReading(VQUnicodeStream* stream,
                       void (*report)(void* context, const char* message, uint32_t column),
                       void* context);

// Reads the next line of the file into stream->line (empty at end of input).
void readLine(VQUnicodeStream* stream);

// Inside a block comment, with the current line handed out to its end: passes over the
// lines after it that the comment cannot end on, straight from the read-ahead bytes, as
// reading them would (their line numbers counted), without making units of them. Such a
// line ends at LF and holds no */, no backslash (an escape could spell either), no CR and,
// when decoded as UTF-8, no byte above 127 (a malformed one is reported as its line is
// read). Stops at the first other line, which is then read in the ordinary way.
void skipCommentLines(VQUnicodeStream* stream);

// Called after a backslash at position - 1: resolves a Unicode escape that follows it on the
// same line, or answers the backslash itself.
int resolveEscape(VQUnicodeStream* stream);

inline int getCharacter(VQUnicodeStream* s) {
    if (s->pushedBack) {
        s->pushedBack = 0;
        return s->lastCharacter;
    }
    if (s->position == s->lineLength) {
        readLine(s);
        if (s->lineLength == 0) {
            s->_characterStart = 0;
            s->lastCharacter = -1;
            return -1;
        }
    }
    uint32_t start = s->position;
    int c = s->line[start];
    s->position = start + 1;
    s->_characterStart = start;
    if (c == '\\') c = resolveEscape(s);
    s->lastCharacter = c;
    return c;
}

inline void ungetCharacter(VQUnicodeStream* s) {
    s->pushedBack = 1;
}

// The index in the line at which the character that the next read returns begins: a put-back
// character begins where it began before, and a line not yet read begins at 0.
inline uint32_t nextCharacterStart(const VQUnicodeStream* s) {
    if (s->pushedBack) return s->_characterStart;
    return s->position < s->lineLength ? s->position : 0;
}

// The index of the first unit in [at, end) that is `a` or `b` or a backslash, or end.
inline uint32_t findUnit(const char16_t* line, uint32_t at, uint32_t end, char16_t a, char16_t b) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
    const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
    const __m128i backslash = _mm_set1_epi16('\\');
    while (end - at >= 8) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + at));
        __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, wantA), _mm_cmpeq_epi16(units, wantB)),
                         _mm_cmpeq_epi16(units, backslash));
        if (int mask = _mm_movemask_epi8(hits))
            return at + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        at += 8;
    }
#endif
    while (at < end && line[at] != a && line[at] != b && line[at] != '\\') ++at;
    return at;
}

// Marks the units [position, at) as handed out, as reading them one at a time would.
inline uint32_t consumeTo(VQUnicodeStream* s, uint32_t at) {
    const uint32_t begin = s->position;
    if (at == begin) return 0;
    s->position = at;
    s->_characterStart = at - 1;
    s->lastCharacter = s->line[at - 1];
    return at - begin;
}

// Classes of ASCII units for the lexer's fast paths; a backslash is in none of them.
enum : unsigned char { kRunBlank = 1, kRunWordPart = 2, kRunDigit = 4 };

constexpr std::array<unsigned char, 128> makeRunClasses() {
    std::array<unsigned char, 128> classes{};
    for (size_t c : {size_t{' '}, size_t{'\t'}, size_t{'\n'}, size_t{'\f'}}) classes[c] = kRunBlank;
    for (size_t c = 'a'; c <= 'z'; ++c) classes[c] = kRunWordPart;
    for (size_t c = 'A'; c <= 'Z'; ++c) classes[c] = kRunWordPart;
    for (size_t c = '0'; c <= '9'; ++c) classes[c] = kRunWordPart | kRunDigit;
    classes['_'] = classes['$'] = kRunWordPart;
    return classes;
}
inline constexpr std::array<unsigned char, 128> kRunClasses = makeRunClasses();

#if defined(__SSE2__)
// The units of `units` that lie in [low, high]: (unit - low), taken as unsigned, is at most
// high - low exactly for those.
inline __m128i unitsInRange(__m128i units, char16_t low, char16_t high) {
    const __m128i shifted = _mm_sub_epi16(units, _mm_set1_epi16(static_cast<short>(low)));
    const __m128i beyond = _mm_subs_epu16(shifted, _mm_set1_epi16(static_cast<short>(high - low)));
    return _mm_cmpeq_epi16(beyond, _mm_setzero_si128());
}

inline __m128i unitsEqual(__m128i units, char16_t unit) {
    return _mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(unit)));
}

// The units of `units` in the run class, as kRunClasses has them.
inline __m128i unitsOfRunClass(__m128i units, unsigned char runClass) {
    __m128i in = _mm_setzero_si128();
    if (runClass & kRunBlank)
        in = _mm_or_si128(_mm_or_si128(unitsEqual(units, ' '), unitsEqual(units, '\t')),
                          _mm_or_si128(unitsEqual(units, '\n'), unitsEqual(units, '\f')));
    if (runClass & kRunWordPart)
        // Setting the 0x20 bit folds A-Z onto a-z and takes no other unit there.
        in = _mm_or_si128(
            in, _mm_or_si128(
                    unitsInRange(_mm_or_si128(units, _mm_set1_epi16(0x20)), 'a', 'z'),
                    _mm_or_si128(unitsInRange(units, '0', '9'),
                                 _mm_or_si128(unitsEqual(units, '_'), unitsEqual(units, '$')))));
    else if (runClass & kRunDigit)
        in = _mm_or_si128(in, unitsInRange(units, '0', '9'));
    return in;
}
#endif

// Off only in tests, which compare the lexer with and without its fast paths. This header is
// internal (not installed).
inline bool gTakeRuns = true;

// For the lexer's fast paths: hands out the ASCII units of class `runClass` from `position`
// on, in the current line. The stream is left exactly as if they had been read one at a
// time. Returns their number, with *units pointing at them in `line`. Nothing is taken
// while a put-back character waits.
inline uint32_t takeRun(VQUnicodeStream* s, const char16_t** units, unsigned char runClass) {
    const uint32_t begin = s->position;
    *units = s->line + begin;
    if (s->pushedBack || !gTakeRuns) return 0;
    const char16_t* line = s->line;
    const uint32_t end = s->lineLength;
    uint32_t at = begin;
#if defined(__SSE2__)
    // Runs are mostly indentation and words: eight units at a time, the last eight of a
    // line too, as the zero units that readLine puts after it end every run.
    while (at < end) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + at));
        const auto outside =
            ~static_cast<unsigned>(_mm_movemask_epi8(unitsOfRunClass(eight, runClass))) & 0xFFFFu;
        if (outside != 0)
            return consumeTo(s, at + static_cast<uint32_t>(__builtin_ctz(outside)) / 2);
        at += 8;
    }
    return consumeTo(s, at);
#else
    while (at < end && line[at] < 128 && (kRunClasses[line[at]] & runClass)) ++at;
    return consumeTo(s, at);
#endif
}

// takeRun for runs that end at the unit `a` or `b` (or a backslash, or the line end).
inline uint32_t takeRunUntil(VQUnicodeStream* s, const char16_t** units, char16_t a, char16_t b) {
    *units = s->line + s->position;
    if (s->pushedBack || !gTakeRuns) return 0;
    return consumeTo(s, findUnit(s->line, s->position, s->lineLength, a, b));
}

}  // namespace ornith::lexer_detail
