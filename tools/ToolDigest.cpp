#include "ToolDigest.h"

#include <dlfcn.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>

#include <stdexcept>

namespace ornith::tool {
namespace {

#define ORNITH_DIGEST_TEXT(x) #x
#define ORNITH_DIGEST_NUMBER(x) ORNITH_DIGEST_TEXT(x)
// The soname of the libcrypto whose headers the tool was built with.
constexpr const char* kCryptoLibrary = "libcrypto.so." ORNITH_DIGEST_NUMBER(OPENSSL_SHLIB_VERSION);

struct Crypto {
    decltype(&EVP_MD_CTX_new) newContext = nullptr;
    decltype(&EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&EVP_DigestInit_ex) init = nullptr;
    decltype(&EVP_DigestUpdate) update = nullptr;
    decltype(&EVP_DigestFinal_ex) final = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_sha1) sha1 = nullptr;
    bool loaded = false;
};

template <class F>
bool bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

Crypto load() {
    Crypto c;
    // Never closed: the functions stay in use until the process ends.
    void* library = dlopen(kCryptoLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) return c;
    c.loaded = bind(library, "EVP_MD_CTX_new", c.newContext) &&
               bind(library, "EVP_MD_CTX_free", c.freeContext) &&
               bind(library, "EVP_DigestInit_ex", c.init) &&
               bind(library, "EVP_DigestUpdate", c.update) &&
               bind(library, "EVP_DigestFinal_ex", c.final) &&
               bind(library, "EVP_sha256", c.sha256) && bind(library, "EVP_sha1", c.sha1);
    return c;
}

const Crypto& crypto() {
    static const Crypto loaded = load();
    if (!loaded.loaded) throw std::runtime_error(std::string("cannot load ") + kCryptoLibrary);
    return loaded;
}

EVP_MD_CTX* context(void* c) {
    return static_cast<EVP_MD_CTX*>(c);
}

}  // namespace

Digest::Digest(DigestKind kind) : _context(nullptr) {
    const Crypto& c = crypto();
    EVP_MD_CTX* made = c.newContext();
    if (!made) throw std::runtime_error("no digest");
    _context = made;
    if (c.init(made, kind == DigestKind::sha256 ? c.sha256() : c.sha1(), nullptr) != 1) {
        c.freeContext(made);
        throw std::runtime_error("no digest");
    }
}

Digest::~Digest() {
    crypto().freeContext(context(_context));
}

void Digest::update(const void* bytes, size_t length) {
    if (crypto().update(context(_context), bytes, length) != 1)
        throw std::runtime_error("no digest");
}

std::string Digest::finishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (crypto().final(context(_context), digest, &length) != 1)
        throw std::runtime_error("no digest");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 15]);
    }
    return text;
}

std::string sha256Hex(std::span<const uint8_t> bytes) {
    Digest digest(DigestKind::sha256);
    digest.update(bytes.data(), bytes.size());
    return digest.finishHex();
}

}  // namespace ornith::tool
