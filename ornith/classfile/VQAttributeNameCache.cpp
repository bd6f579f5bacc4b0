#include "ornith/classfile/VQAttributeNameCache.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace ornith::parsing {

namespace {

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept {
        return std::hash<std::string_view>{}(name);
    }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};

// What decodes the attributes of one name: the registered factory, or (when none is
// registered) the one unknown-attribute object that stands for all of them.
struct NameDecoder {
    VQJavaAttribute::Factory factory = nullptr;
    std::shared_ptr<const VQJavaAttribute> unknown;
};

// Per thread, since parses may run on several threads at once. Bounded, so that a stream
// of hostile class files with ever new attribute names cannot make it grow without end;
// names beyond the bound are decoded the plain way.
struct NameCache {
    using Map = std::unordered_map<std::string, NameDecoder, NameHash, NameEqual>;
    uint64_t generation = 0;
    Map decoders;
    // The entry found last: attributes of one name come in runs (a Code attribute on
    // every method), and comparing with it is cheaper than hashing. Entries of an
    // unordered_map keep their address until they are erased.
    Map::value_type* last = nullptr;
};
constexpr size_t kMaxCachedNames = 256;
constexpr size_t kMaxCachedNameLength = 128;
thread_local NameCache nameCache;

}  // namespace

std::shared_ptr<const VQJavaAttribute> attributeAtNameIndex(const VQConstantPool& pool,
                                                            int32_t nameIndex, VQByteStream& info,
                                                            AttributeNameMemo* memo) {
    NameCache& cache = nameCache;
    const uint64_t generation = attributeRegistryGeneration();
    if (cache.generation != generation) {
        cache.last = nullptr;
        cache.decoders.clear();
        cache.generation = generation;
    }
    NameCache::Map::value_type* found = nullptr;
    const uint32_t slot = static_cast<uint32_t>(nameIndex) % AttributeNameMemo::kSlots;
    if (memo) {
        // The memo's decoders point into the cache, which is emptied only when the
        // registry changes; a memo from before that starts again.
        if (memo->generation != generation) *memo = AttributeNameMemo{.generation = generation};
        if (memo->index[slot] == nameIndex)
            found =
                static_cast<NameCache::Map::value_type*>(const_cast<void*>(memo->decoder[slot]));
    }

    if (!found) {
        std::string decoded;
        std::string_view name;
        if (auto plain = VQPlainTextAtIndex(pool, nameIndex)) {
            name = *plain;
        } else {
            decoded = VQStringValueAtIndex(pool, nameIndex);  // raises for a bad index
            name = decoded;
        }
        found = cache.last;
        if (!found || found->first != name) {
            auto at = cache.decoders.find(name);
            if (at == cache.decoders.end()) {
                if (cache.decoders.size() >= kMaxCachedNames || name.size() > kMaxCachedNameLength)
                    return VQJavaAttribute::attributeWithName(std::string(name), info, pool);
                std::string key(name);
                NameDecoder decoder;
                decoder.factory = registeredAttributeFactory(key);
                if (!decoder.factory)
                    decoder.unknown =
                        std::make_shared<const VQJavaUnknownAttribute>(key, info, pool);
                at = cache.decoders.emplace(std::move(key), std::move(decoder)).first;
            }
            found = &*at;
            cache.last = found;
        }
        if (memo) {
            memo->index[slot] = nameIndex;
            memo->decoder[slot] = found;
        }
    }
    if (found->second.factory) {
        // A copy of the name: a decoder may parse further class files on this thread,
        // which may change the cache under a reference into it.
        const VQJavaAttribute::Factory factory = found->second.factory;
        return factory(std::string(found->first), info, pool);
    }
    return found->second.unknown;
}

}  // namespace ornith::parsing
