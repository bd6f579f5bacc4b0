#include "ornith/lexer/VQUnicodeStream.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQFile.h"
#include "ornith/base/VQText.h"
#include "ornith/lexer/VQUnicodeStreamInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ornith {

namespace {

// Bytes are taken from the file in blocks of at most this size (less for a smaller file)
// and split into lines from there, which also holds the bytes of a failed byte-order-mark
// test and the unit after a CR until they are needed.
constexpr uint32_t kMaxReadAheadBytes = 64 * 1024;

// Both buffers have this many spare bytes or units after their end, so that bytes can be
// widened into units sixteen at a time without a scalar tail. What lands in the spare room
// past lineLength is never read.
constexpr uint32_t kSlack = 16;

// A line longer than this many units is cut, the rest starting the next line: it keeps the
// line index, columns and caret widths far inside 32-bit signed range.
constexpr uint32_t kMaxLineUnits = uint32_t{1} << 30;

// The block of a stream over memory, which only ever holds the input's last bytes: fewer
// than kSlack plus the most that fillBytes is asked for (a cut UTF-8 sequence's 4).
constexpr uint32_t kMemoryTailBytes = kSlack + 8;

// A stream over memory reads its bytes where they are. The line readers may look up to
// kSlack bytes past the bytes they are given, so the in-place window stops kSlack bytes
// short of the input's end, and only the bytes past it are copied, into the small block
// with zeroed slack. A window spans no more than a file's block, which keeps indexes
// 32-bit and has a large input's windows move along it as a file's blocks do.
constexpr uint64_t kMaxMemoryWindow = kMaxReadAheadBytes;

uint32_t fillFromMemory(VQUnicodeStream* s, uint32_t wanted) {
    const uint32_t available = s->_bytesEnd - s->_bytesStart;
    const uint64_t from = s->_inputOffset - available;  // the first byte not yet used
    const uint64_t length = s->_inputLength;
    const uint64_t inPlaceEnd = length > kSlack ? length - kSlack : 0;
    s->_highByteKnown = 0;
    s->_bytesStart = 0;
    if (inPlaceEnd > from && inPlaceEnd - from >= wanted) {
        const uint64_t window = std::min(inPlaceEnd - from, kMaxMemoryWindow);
        s->_bytes = s->_memory + from;
        s->_bytesEnd = static_cast<uint32_t>(window);
        s->_inputOffset = from + window;
        return s->_bytesEnd;
    }
    const auto tail = static_cast<uint32_t>(std::min<uint64_t>(length - from, kMemoryTailBytes));
    std::memcpy(s->_block, s->_memory + from, tail);
    std::memset(s->_block + tail, 0, kSlack);
    s->_bytes = s->_block;
    s->_bytesEnd = tail;
    s->_inputOffset = from + tail;
    s->_fileEnded = 1;
    return tail;
}

// Makes at least `wanted` (at most 4) bytes available unless the input ends first;
// answers how many are available.
uint32_t fillBytes(VQUnicodeStream* s, uint32_t wanted) {
    uint32_t available = s->_bytesEnd - s->_bytesStart;
    if (available >= wanted || s->_fileEnded) return available;
    if (s->file == nullptr) return fillFromMemory(s, wanted);
    while (available < wanted && !s->_fileEnded) {
        if (s->_bytesStart > 0) {
            std::memmove(s->_block, s->_block + s->_bytesStart, available);
            s->_bytesStart = 0;
            s->_bytesEnd = available;
        }
        uint64_t room = s->_bytesSize - s->_bytesEnd;
        uint64_t left = s->_inputLength - s->_inputOffset;
        uint32_t got = static_cast<uint32_t>(left < room ? left : room);
        if (got > 0 &&
            s->file->readAt(s->_inputOffset, s->_block + s->_bytesEnd, got) != VQFileStatus::ok) {
            // The file shrank or could not be read: the input ends with what came before.
            got = 0;
            s->_fileEnded = 1;
        }
        s->_inputOffset += got;
        s->_highByteKnown = 0;
        if (s->_inputOffset == s->_inputLength) s->_fileEnded = 1;
        s->_bytesEnd += got;
        // widen() may read a few bytes past the data; they are never used, but defined.
        std::memset(s->_block + s->_bytesEnd, 0, kSlack);
        available = s->_bytesEnd - s->_bytesStart;
    }
    return available;
}

// The next unit without consuming it, or -1 at end of input. In wide mode a lone trailing
// byte is no unit, in either byte order: it is dropped.
int peekUnit(VQUnicodeStream* s) {
    const uint32_t size = s->wide ? 2 : 1;
    uint32_t available = fillBytes(s, size);
    if (available < size) {
        s->_bytesStart = s->_bytesEnd;
        return -1;
    }
    const unsigned char* b = s->_bytes + s->_bytesStart;
    if (!s->wide) return b[0];
    return s->bigEndian ? VQLoadBE16(b) : VQLoadLE16(b);
}

void consumeUnit(VQUnicodeStream* s) {
    s->_bytesStart += s->wide ? 2 : 1;
}

// Makes room for `count` more units. Answers how many of them fit (fewer only when the line
// reached its limit or memory ran out).
uint32_t reserveLine(VQUnicodeStream* s, uint32_t count) {
    const uint64_t needed = uint64_t{s->lineLength} + count;
    if (needed > s->lineCapacity)
        lexer_detail::growUnits(s->line, s->lineCapacity, needed, kMaxLineUnits, kSlack);
    uint32_t room = s->lineCapacity - s->lineLength;
    return count < room ? count : room;
}

// After a CR: an LF belongs to the same line, anything else begins the next one.
void takeLineFeedAfterCarriageReturn(VQUnicodeStream* s) {
    if (peekUnit(s) == '\n' && reserveLine(s, 1) == 1) {
        consumeUnit(s);
        s->line[s->lineLength++] = '\n';
    }
}

// The first LF or CR in [p, end), or end.
const unsigned char* findLineEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// Bytes become units of the same value. Up to 15 bytes after `count` may be read, and as
// many units written, all inside the buffers' slack.
void widen(char16_t* out, const unsigned char* in, uint32_t count) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (uint32_t i = 0; i < count; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
#else
    for (uint32_t i = 0; i < count; ++i) out[i] = in[i];
#endif
}

// The index in _bytes of the first byte above 127 from `from` on, or _bytesEnd.
uint32_t findHighByte(const VQUnicodeStream* s, uint32_t from) {
    const unsigned char* p = s->_bytes;
    uint32_t i = from;
    const uint32_t end = s->_bytesEnd;
#if defined(__SSE2__)
    for (; i + 16 <= end; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (int mask = _mm_movemask_epi8(bytes))
            return i + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    while (i < end && p[i] < 0x80) ++i;
    return i;
}

// Whether the `count` bytes at _bytesStart hold one above 127. The answer for a block of
// ASCII lines comes from one look per read-ahead block, not one per line.
bool hasHighBytes(VQUnicodeStream* s, uint32_t count) {
    if (!s->_highByteKnown || s->_highByteAt < s->_bytesStart) {
        s->_highByteAt = findHighByte(s, s->_bytesStart);
        s->_highByteKnown = 1;
    }
    return s->_highByteAt < s->_bytesStart + count;
}

struct Utf8Decoded {
    uint32_t used;     // bytes taken
    uint32_t written;  // units written
    bool cut;          // stopped before a sequence that the end of the bytes may cut short
};

// Decodes UTF-8 from [p, end) into at most `room` units. A sequence of four bytes becomes a
// surrogate pair. Each maximal ill-formed subpart becomes one U+FFFD, except that an
// encoded surrogate is malformed as a whole, as Java's own decoder has it: one U+FFFD for
// its three bytes.
// Unless `final`, a sequence that runs into `end` is left for when more bytes are there.
Utf8Decoded decodeUtf8(VQUnicodeStream* s, const unsigned char* p, const unsigned char* end,
                       bool final, char16_t* out, uint32_t room) {
    const unsigned char* begin = p;
    uint32_t written = 0;
    while (p < end && written < room) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            out[written++] = lead;
            ++p;
            continue;
        }
        const VQUTF8Step step = VQDecodeGeneralizedUTF8(p, end);
        if (!step.valid && !final && p + step.length == end &&
            step.length < VQUTF8SequenceLength(lead)) {
            return {static_cast<uint32_t>(p - begin), written, true};
        }
        if (!step.valid || VQIsSurrogate(step.value)) {
            if (s->_malformedColumn == UINT32_MAX) s->_malformedColumn = s->lineLength + written;
            out[written++] = 0xFFFD;
            p += step.length;
            continue;
        }
        if (step.value >= 0x10000 && written + 2 > room) break;
        written += static_cast<uint32_t>(VQEncodeUTF16(step.value, out + written));
        p += step.length;
    }
    return {static_cast<uint32_t>(p - begin), written, false};
}

// One byte per character: lines are cut out of the read-ahead bytes a block at a time.
// At release levels bytes above 127 are decoded as UTF-8 instead.
void readNarrowLine(VQUnicodeStream* s) {
    for (;;) {
        uint32_t available = fillBytes(s, 1);
        if (available == 0) return;
        const unsigned char* begin = s->_bytes + s->_bytesStart;
        const unsigned char* end = begin + available;
        const unsigned char* p = findLineEnd(begin, end);
        bool terminated = p < end;
        uint32_t count = static_cast<uint32_t>(p - begin) + (terminated ? 1 : 0);
        if (s->_utf8 && hasHighBytes(s, count)) {
            // UTF-8 never makes more units than bytes.
            uint32_t fits = reserveLine(s, count);
            bool final = terminated || (s->_fileEnded && count == available);
            Utf8Decoded d =
                decodeUtf8(s, begin, begin + count, final, s->line + s->lineLength, fits);
            s->lineLength += d.written;
            s->_bytesStart += d.used;
            if (d.cut) {
                // A sequence runs past the bytes at hand: fetch more (or learn that none come).
                fillBytes(s, count - d.used + 1);
                continue;
            }
            if (d.used < count) return;  // the line is cut here
        } else {
            uint32_t fits = reserveLine(s, count);
            widen(s->line + s->lineLength, begin, fits);
            s->lineLength += fits;
            s->_bytesStart += fits;
            if (fits < count) return;  // the line is cut here
        }
        if (terminated) {
            if (*p == '\r') takeLineFeedAfterCarriageReturn(s);
            return;
        }
    }
}

void readWideLine(VQUnicodeStream* s) {
    for (;;) {
        int unit = peekUnit(s);
        if (unit < 0 || reserveLine(s, 1) == 0) return;
        consumeUnit(s);
        s->line[s->lineLength++] = static_cast<char16_t>(unit);
        if (unit == '\n') return;
        if (unit == '\r') {
            takeLineFeedAfterCarriageReturn(s);
            return;
        }
    }
}

inline int hexValue(char16_t unit) {
    if (unit >= '0' && unit <= '9') return unit - '0';
    if (unit >= 'a' && unit <= 'f') return unit - 'a' + 10;
    if (unit >= 'A' && unit <= 'F') return unit - 'A' + 10;
    return -1;
}

}  // namespace

namespace lexer_detail {

void readLine(VQUnicodeStream* s) {
    s->position = 0;
    s->lineLength = 0;
    if (s->lineNumber < INT32_MAX) ++s->lineNumber;
    s->_plainBackslash = 0;
    s->_malformedColumn = UINT32_MAX;
    if (s->wide)
        readWideLine(s);
    else
        readNarrowLine(s);
#if defined(__SSE2__)
    // Eight zero units after the line, in its slack: a unit in no run class and none that
    // the lexer searches for, so that its fast paths take a line's last units eight at a
    // time too (VQUnicodeStreamInternal.h).
    if (s->line != nullptr)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s->line + s->lineLength), _mm_setzero_si128());
#endif
    if (s->_malformedColumn != UINT32_MAX && s->_report != nullptr)
        s->_report(s->_reportContext, "Invalid UTF-8 byte sequence.", s->_malformedColumn);
}

void skipCommentLines(VQUnicodeStream* s) {
    if (s->wide || s->pushedBack || s->position != s->lineLength || s->lineLength == 0 ||
        !gTakeRuns)
        return;
    const uint32_t start = s->_bytesStart;
    uint32_t limit = s->_bytesEnd;
    if (s->_utf8) {
        if (!s->_highByteKnown || s->_highByteAt < start) {
            s->_highByteAt = findHighByte(s, start);
            s->_highByteKnown = 1;
        }
        limit = s->_highByteAt;
    }
    // The byte after `limit` is there to be compared (a byte of the block, a byte above 127
    // or the zeroed slack), so */ is found across the sixteen-byte steps.
    const unsigned char* bytes = s->_bytes;
    uint32_t at = start;
    uint32_t lines = 0;
    uint32_t afterLastLine = start;  // just past the last LF before the first stop
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i star = _mm_set1_epi8('*');
    const __m128i slash = _mm_set1_epi8('/');
    for (; limit - at >= 16; at += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + 1));
        const __m128i stops =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(here, cr), _mm_cmpeq_epi8(here, backslash)),
                         _mm_and_si128(_mm_cmpeq_epi8(here, star), _mm_cmpeq_epi8(next, slash)));
        auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, lf)));
        const auto stop = static_cast<unsigned>(_mm_movemask_epi8(stops));
        if (stop != 0) ends &= (1u << __builtin_ctz(stop)) - 1;
        if (ends != 0) {
            afterLastLine = at + 32 - static_cast<uint32_t>(__builtin_clz(ends));
            // One or two line ends in sixteen bytes: fewer steps than a popcount, which
            // the baseline instruction set makes a call.
            do ++lines;
            while ((ends &= ends - 1) != 0);
        }
        if (stop != 0) {
            limit = at;  // the scalar loop below has nothing left to do
            break;
        }
    }
#endif
    for (; at < limit; ++at) {
        const unsigned char b = bytes[at];
        if (b == '\r' || b == '\\' || (b == '*' && bytes[at + 1] == '/')) break;
        if (b == '\n') {
            ++lines;
            afterLastLine = at + 1;
        }
    }
    if (lines == 0) return;
    s->_bytesStart = afterLastLine;
    const uint32_t room = static_cast<uint32_t>(INT32_MAX - s->lineNumber);
    s->lineNumber += static_cast<int32_t>(lines < room ? lines : room);
}

void setReleaseReading(VQUnicodeStream* s,
                       void (*report)(void* context, const char* message, uint32_t column),
                       void* context) {
    s->_utf8 = s->wide ? 0 : 1;
    s->_escapeParity = 1;
    s->_report = report;
    s->_reportContext = context;
}

int resolveEscape(VQUnicodeStream* s) {
    const char16_t* line = s->line;
    uint32_t length = s->lineLength;
    uint32_t at = s->position;  // just after the backslash
    if (s->_escapeParity) {
        // Every raw backslash of a line passes here in order, so `_plainBackslash` tells
        // whether the unit just before is a backslash that could have begun an escape and
        // stood for itself: then this one is its partner and begins nothing.
        if (at >= 2 && s->_plainBackslash == at - 1) {
            s->_plainBackslash = 0;
            return '\\';
        }
        if (at >= length || line[at] != 'u') {
            s->_plainBackslash = at;
            return '\\';
        }
    }
    if (at >= length || line[at] != 'u') return '\\';
    do ++at;
    while (at < length && line[at] == 'u');
    if (length - at < 4) {
        if (s->_report != nullptr)
            s->_report(s->_reportContext, "Invalid Unicode escape.", s->position - 1);
        return '\\';
    }
    int value = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        int digit = hexValue(line[at + i]);
        if (digit < 0) {
            if (s->_report != nullptr)
                s->_report(s->_reportContext, "Invalid Unicode escape.", s->position - 1);
            return '\\';
        }
        value = value * 16 + digit;
    }
    s->position = at + 4;
    return value;
}

}  // namespace lexer_detail

namespace {

// Sets up the read-ahead block and takes a byte-order mark; releases `file` when that fails.
VQUnicodeStream* openStream(VQFile* file, const unsigned char* memory, uint64_t length) {
    // One byte more than the input, so that the first block also meets its end; at least
    // two, for the byte-order mark.
    uint32_t blockSize = kMaxReadAheadBytes;
    if (length < kMaxReadAheadBytes - 1) blockSize = static_cast<uint32_t>(length) + 2;
    if (file == nullptr) blockSize = kMemoryTailBytes;
    auto* s = new (std::nothrow) VQUnicodeStream{};
    auto* block = static_cast<unsigned char*>(std::malloc(blockSize + kSlack));
    if (s == nullptr || block == nullptr) {
        delete file;
        std::free(block);
        delete s;
        return nullptr;
    }
    s->file = file;
    s->_memory = memory;
    s->_inputLength = length;
    s->_bytes = block;
    s->_block = block;
    s->_bytesSize = blockSize;
    s->lastCharacter = -1;

    // A byte-order mark is consumed; any other first bytes stay and are read as data.
    if (fillBytes(s, 2) >= 2) {
        unsigned char first = s->_bytes[0];
        unsigned char second = s->_bytes[1];
        if ((first == 0xFE && second == 0xFF) || (first == 0xFF && second == 0xFE)) {
            s->wide = 1;
            s->bigEndian = first == 0xFE ? 1 : 0;
            s->_bytesStart = 2;
        }
    }
    return s;
}

}  // namespace

VQUnicodeStream* VQOpenUnicodeFile(const char* path) {
    if (path == nullptr) return nullptr;
    // Only regular files: a FIFO or device would block or never end.
    VQFile opened = VQFile::openRegular(path);
    if (!opened) return nullptr;
    uint64_t length = opened.size();
    auto* file = new (std::nothrow) VQFile(std::move(opened));
    if (file == nullptr) return nullptr;
    return openStream(file, nullptr, length);
}

VQUnicodeStream* VQOpenUnicodeBytes(const void* bytes, size_t length) {
    static const unsigned char kNoBytes[1] = {0};
    const auto* memory = bytes != nullptr ? static_cast<const unsigned char*>(bytes) : kNoBytes;
    return openStream(nullptr, memory, bytes != nullptr ? length : 0);
}

int VQGetUnicodeCharacter(VQUnicodeStream* stream) {
    return lexer_detail::getCharacter(stream);
}

void VQUngetUnicodeCharacter(VQUnicodeStream* stream) {
    lexer_detail::ungetCharacter(stream);
}

void VQCloseUnicodeStream(VQUnicodeStream* stream) {
    if (stream == nullptr) return;
    delete stream->file;
    std::free(stream->line);
    std::free(stream->_block);
    delete stream;
}

}  // namespace ornith
