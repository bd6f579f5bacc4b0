#pragma once
// A bounds-checked reader over bytes in memory, for decoders of untrusted formats.
//
// Every read either succeeds whole or fails and leaves the cursor where it was, so a
// decoder can test each step and never reads outside the span. A failed read is sticky
// in ok(), which lets a decoder make a run of reads and check once at the end.

#include <cstddef>
#include <cstdint>
#include <span>

#include "ornith/base/VQEndian.h"

namespace ornith {

class VQByteCursor {
public:
    VQByteCursor() = default;
    explicit VQByteCursor(std::span<const uint8_t> bytes) noexcept
        : _begin(bytes.data()), _end(bytes.data() + bytes.size()), _at(bytes.data()) {}

    size_t position() const noexcept { return static_cast<size_t>(_at - _begin); }
    size_t remaining() const noexcept { return static_cast<size_t>(_end - _at); }
    bool atEnd() const noexcept { return _at == _end; }
    // False once any read or skip has failed.
    bool ok() const noexcept { return _ok; }
    const uint8_t* current() const noexcept { return _at; }

    // Moves to an absolute position within the span; false (and not ok) past its end.
    bool seek(size_t position) noexcept {
        if (position > static_cast<size_t>(_end - _begin)) return fail();
        _at = _begin + position;
        return true;
    }
    bool skip(size_t count) noexcept {
        if (count > remaining()) return fail();
        _at += count;
        return true;
    }
    // The next count bytes, consumed; an empty span and not ok when fewer remain.
    std::span<const uint8_t> bytes(size_t count) noexcept {
        if (count > remaining()) {
            fail();
            return {};
        }
        std::span<const uint8_t> out(_at, count);
        _at += count;
        return out;
    }

    bool u8(uint8_t& value) noexcept {
        return load<1>(value, [](const uint8_t* p) { return *p; });
    }
    bool be16(uint16_t& value) noexcept { return load<2>(value, VQLoadBE16); }
    bool be32(uint32_t& value) noexcept { return load<4>(value, VQLoadBE32); }
    bool be64(uint64_t& value) noexcept { return load<8>(value, VQLoadBE64); }
    bool le16(uint16_t& value) noexcept { return load<2>(value, VQLoadLE16); }
    bool le32(uint32_t& value) noexcept { return load<4>(value, VQLoadLE32); }
    bool le64(uint64_t& value) noexcept { return load<8>(value, VQLoadLE64); }

private:
    template <size_t N, typename T, typename Load>
    bool load(T& value, Load loader) noexcept {
        if (remaining() < N) return fail();
        value = loader(_at);
        _at += N;
        return true;
    }
    bool fail() noexcept {
        _ok = false;
        return false;
    }

    const uint8_t* _begin = nullptr;
    const uint8_t* _end = nullptr;
    const uint8_t* _at = nullptr;
    bool _ok = true;
};

}  // namespace ornith
