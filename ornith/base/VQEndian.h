#pragma once
// Fixed-width integers in the two byte orders the library reads: big-endian (class
// files, Java's DataOutput) and little-endian (zip archives, runtime images on x86).
//
// Every decoder loads through these instead of shifting bytes by hand, so that a reader
// checks one place for the order and the width. The callers check bounds; these only
// load and store.

#include <cstdint>
#include <cstring>

namespace ornith {

inline uint16_t VQLoadBE16(const uint8_t* p) noexcept {
    return static_cast<uint16_t>((unsigned{p[0]} << 8) | unsigned{p[1]});
}
inline uint32_t VQLoadBE32(const uint8_t* p) noexcept {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline uint64_t VQLoadBE64(const uint8_t* p) noexcept {
    return (uint64_t{VQLoadBE32(p)} << 32) | VQLoadBE32(p + 4);
}
inline uint16_t VQLoadLE16(const uint8_t* p) noexcept {
    return static_cast<uint16_t>(unsigned{p[0]} | (unsigned{p[1]} << 8));
}
inline uint32_t VQLoadLE32(const uint8_t* p) noexcept {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t VQLoadLE64(const uint8_t* p) noexcept {
    return uint64_t{VQLoadLE32(p)} | (uint64_t{VQLoadLE32(p + 4)} << 32);
}

inline void VQStoreBE16(uint8_t* p, uint16_t v) noexcept {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void VQStoreBE32(uint8_t* p, uint32_t v) noexcept {
    VQStoreBE16(p, static_cast<uint16_t>(v >> 16));
    VQStoreBE16(p + 2, static_cast<uint16_t>(v));
}
inline void VQStoreBE64(uint8_t* p, uint64_t v) noexcept {
    VQStoreBE32(p, static_cast<uint32_t>(v >> 32));
    VQStoreBE32(p + 4, static_cast<uint32_t>(v));
}
inline void VQStoreLE16(uint8_t* p, uint16_t v) noexcept {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void VQStoreLE32(uint8_t* p, uint32_t v) noexcept {
    VQStoreLE16(p, static_cast<uint16_t>(v));
    VQStoreLE16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void VQStoreLE64(uint8_t* p, uint64_t v) noexcept {
    VQStoreLE32(p, static_cast<uint32_t>(v));
    VQStoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace ornith
