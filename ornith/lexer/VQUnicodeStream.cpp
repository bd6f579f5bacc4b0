#include "VQUnicodeStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <new>

#include "VQUnicodeStreamInline.h"

namespace ornith {

namespace {

// A line longer than this many units is cut, the rest starting the next line: it keeps the
// line index, columns and caret widths far inside 32-bit signed range.
constexpr std::uint32_t kMaxLineUnits = std::uint32_t{1} << 30;

void pushUnit(VQUnicodeStream* s, int unit) {
    // Never more than two units are held: the two bytes of a failed byte-order-mark test, or
    // one unit of look-ahead after a CR (taken only after a pending unit was handed out).
    if (s->_pendingCount < 2) s->_pending[s->_pendingCount++] = unit;
}

int readUnit(VQUnicodeStream* s) {
    if (s->_pendingCount > 0) return s->_pending[--s->_pendingCount];
    int first = getc_unlocked(s->file);
    if (first == EOF) return -1;
    if (!s->wide) return first;
    int second = getc_unlocked(s->file);
    if (second == EOF) return -1;  // a lone trailing byte is dropped, in either byte order
    return s->bigEndian ? (first << 8) | second : (second << 8) | first;
}

bool growLine(VQUnicodeStream* s) {
    std::uint64_t wanted = 2 * std::uint64_t{s->lineCapacity} + 8;
    if (wanted > kMaxLineUnits) wanted = kMaxLineUnits;
    if (wanted <= s->lineCapacity) return false;
    void* grown = std::realloc(s->line, wanted * sizeof(char16_t));
    if (grown == nullptr) return false;
    s->line = static_cast<char16_t*>(grown);
    s->lineCapacity = static_cast<std::uint32_t>(wanted);
    return true;
}

// Appends one unit; false when the line cannot grow, in which case the unit goes back to the
// input and begins the next line.
inline bool appendUnit(VQUnicodeStream* s, int unit) {
    if (s->lineLength == s->lineCapacity && !growLine(s)) {
        pushUnit(s, unit);
        return false;
    }
    s->line[s->lineLength++] = static_cast<char16_t>(unit);
    return true;
}

// After a CR: an LF belongs to the same line, anything else begins the next one.
void finishLineAfterCarriageReturn(VQUnicodeStream* s) {
    int next = readUnit(s);
    if (next == '\n') appendUnit(s, next);
    else if (next >= 0) pushUnit(s, next);
}

// The common case, one byte per character and nothing held back: straight from the stdio
// buffer into the line.
void readNarrowLine(VQUnicodeStream* s) {
    std::FILE* file = s->file;
    char16_t* line = s->line;
    std::uint32_t length = 0;
    std::uint32_t capacity = s->lineCapacity;
    for (;;) {
        int byte = getc_unlocked(file);
        if (byte == EOF) break;
        if (length == capacity) {
            s->lineLength = length;
            if (!growLine(s)) {
                pushUnit(s, byte);
                break;
            }
            line = s->line;
            capacity = s->lineCapacity;
        }
        line[length++] = static_cast<char16_t>(byte);
        if (byte == '\n') break;
        if (byte == '\r') {
            s->lineLength = length;
            finishLineAfterCarriageReturn(s);
            return;
        }
    }
    s->lineLength = length;
}

void readAnyLine(VQUnicodeStream* s) {
    for (;;) {
        int unit = readUnit(s);
        if (unit < 0 || !appendUnit(s, unit) || unit == '\n') return;
        if (unit == '\r') {
            finishLineAfterCarriageReturn(s);
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
    if (!s->wide && s->_pendingCount == 0) readNarrowLine(s);
    else readAnyLine(s);
}

int resolveEscape(VQUnicodeStream* s) {
    const char16_t* line = s->line;
    std::uint32_t length = s->lineLength;
    std::uint32_t at = s->position;  // just after the backslash
    if (at >= length || line[at] != 'u') return '\\';
    do ++at;
    while (at < length && line[at] == 'u');
    if (length - at < 4) return '\\';
    int value = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        int digit = hexValue(line[at + i]);
        if (digit < 0) return '\\';
        value = value * 16 + digit;
    }
    s->position = at + 4;
    return value;
}

}  // namespace lexer_detail

VQUnicodeStream* VQOpenUnicodeFile(const char* path) {
    if (path == nullptr) return nullptr;
    // Non-blocking only for the open itself, so that naming a FIFO cannot hang us; such
    // files are refused right after.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    auto* s = new (std::nothrow) VQUnicodeStream{};
    if (s == nullptr) {
        ::close(fd);
        return nullptr;
    }
    s->file = ::fdopen(fd, "rb");
    if (s->file == nullptr) {
        ::close(fd);
        delete s;
        return nullptr;
    }
    s->lastCharacter = -1;

    int first = getc_unlocked(s->file);
    if (first == 0xFE || first == 0xFF) {
        int second = getc_unlocked(s->file);
        if (first == 0xFE && second == 0xFF) {
            s->wide = 1;
            s->bigEndian = 1;
        } else if (first == 0xFF && second == 0xFE) {
            s->wide = 1;
        } else {
            // Not a mark: both bytes are data and are handed out again, first byte first.
            if (second != EOF) pushUnit(s, second);
            pushUnit(s, first);
        }
    } else if (first != EOF) {
        pushUnit(s, first);
    }
    return s;
}

int VQGetUnicodeCharacter(VQUnicodeStream* stream) { return lexer_detail::getCharacter(stream); }

void VQUngetUnicodeCharacter(VQUnicodeStream* stream) { lexer_detail::ungetCharacter(stream); }

void VQCloseUnicodeStream(VQUnicodeStream* stream) {
    if (stream == nullptr) return;
    if (stream->file != nullptr) std::fclose(stream->file);
    std::free(stream->line);
    delete stream;
}

}  // namespace ornith
