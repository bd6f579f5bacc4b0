#pragma once
// SHA-256 and SHA-1 digests in lower-case hex, through libcrypto. The library is loaded at
// the first digest rather than linked: linked, its loading and relocation cost every run
// of the tool about 3 ms of start-up, and only javap's -v and -sysinfo lines and the
// inventory take digests.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ornith::tool {

enum class DigestKind { sha256, sha1 };

// A digest taken over bytes given in pieces. Throws std::runtime_error when libcrypto
// cannot be loaded or the digest cannot be taken: a missing digest is never an empty one.
class Digest {
public:
    explicit Digest(DigestKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    void update(const void* bytes, size_t length);
    // The digest of everything given, in hex; once.
    std::string finishHex();

private:
    void* _context;  // libcrypto's EVP_MD_CTX
};

// The bytes' SHA-256 digest in hex; throws as Digest does.
std::string sha256Hex(std::span<const uint8_t> bytes);

}  // namespace ornith::tool
