#pragma once
// A Java source file read as 16-bit characters, one line at a time, with Unicode escapes
// (\uXXXX, any number of u) resolved as characters are handed out.
//
// A file that starts with the byte-order mark FE FF or FF FE holds 16-bit units (big- or
// little-endian); any other file holds one byte per character, with no multibyte decoding.
// The caller may put back the last character it read, once.

#include <cstddef>
#include <cstdint>

namespace ornith {

class VQFile;

struct VQUnicodeStream {
    VQFile* file;  // owned, read as raw bytes; null for a stream over bytes in memory
    char16_t*
        line;  // owned; the current line as read, terminator included; null before the first line
    uint32_t lineLength;  // units in line; 0 after end of input
    uint32_t lineCapacity;
    uint32_t position;      // index in line of the next unit to hand out
    int32_t lineNumber;     // from 1; 0 before the first line; grows by one per line read attempt
    int32_t lastCharacter;  // last value handed out, -1 for end of input
    uint32_t pushedBack;    // 1 when the next read returns lastCharacter again
    uint32_t wide;          // 1 when the file holds 16-bit units
    uint32_t bigEndian;     // in wide mode, 1 when the high byte comes first

    // Internal state beyond the fields above.
    uint32_t _characterStart;      // index in line of the first unit of lastCharacter
    const unsigned char* _bytes;   // bytes not yet put into a line: in _block, or in place in
                                   // the memory of a stream over memory
    unsigned char* _block;         // owned; the bytes read from file, or a memory block's tail
    uint32_t _bytesSize;           // size of _block
    uint32_t _bytesStart;          // next unused byte
    uint32_t _bytesEnd;            // end of the bytes read
    uint32_t _fileEnded;           // 1 once file reported end of input or an error
    uint64_t _inputOffset;         // next byte of the file or of the memory block to take
    uint64_t _inputLength;         // bytes in the file when opened, or in the memory block
    const unsigned char* _memory;  // not owned; the bytes of a stream over memory
    // Release-level reading (see lexer_detail::setReleaseReading); all 0 for the classic one.
    uint32_t _utf8;             // one-byte input is UTF-8
    uint32_t _escapeParity;     // a backslash after an odd run of backslashes begins no escape
    uint32_t _plainBackslash;   // 1 + index in line of the last backslash that stood for itself
    uint32_t _malformedColumn;  // index in line of its first malformed sequence; UINT32_MAX if none
    uint32_t _highByteAt;       // UTF-8: index in _bytes of the next byte above 127, or _bytesEnd
    uint32_t _highByteKnown;    // 0 when _highByteAt must be looked for again
    void (*_report)(void* context, const char* message, uint32_t column);
    void* _reportContext;
};

// Opens a regular file for reading; null when it cannot be opened or is not a regular file
// (a FIFO or device would block or never end). Writes nothing.
VQUnicodeStream* VQOpenUnicodeFile(const char* path);

// Opens a stream over `length` bytes in memory, read exactly as a file holding them would
// be. The bytes are not copied: they must outlive the stream. Null only when memory runs out.
VQUnicodeStream* VQOpenUnicodeBytes(const void* bytes, size_t length);

// The next character, 0 to 65535, or -1 at end of input (and on a read error).
int VQGetUnicodeCharacter(VQUnicodeStream* stream);

// Makes the next VQGetUnicodeCharacter return the last value once more. One deep: a second
// put-back before the next read changes nothing.
void VQUngetUnicodeCharacter(VQUnicodeStream* stream);

// Closes the file and releases the stream. Null is accepted and ignored.
void VQCloseUnicodeStream(VQUnicodeStream* stream);

}  // namespace ornith
