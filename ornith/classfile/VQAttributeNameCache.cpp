#include "ornith/classfile/VQAttributeNameCache.h"

#include <string>
#include <string_view>
#include <utility>

#include "ornith/classfile/VQParseContext.h"

namespace ornith::parsing {

namespace {

constexpr size_t kMaxCachedNames = 256;
constexpr size_t kMaxCachedNameLength = 128;

}  // namespace

std::shared_ptr<const VQJavaAttribute> attributeAtNameIndex(const VQConstantPool& pool,
                                                            int32_t nameIndex, VQByteStream& info,
                                                            AttributeNameMemo* memo,
                                                            uint32_t nameOffset) {
    const VQPoolReader reader(pool);
    if (!pool.context) {
        // A pool opened on its own has no parse to keep decoders in.
        return VQJavaAttribute::attributeWithName(reader.string(nameIndex).orRaiseAt(nameOffset),
                                                  info, pool);
    }
    AttributeNameCache& cache = pool.context->decoders;
    const uint64_t generation = attributeRegistryGeneration();
    if (cache.generation != generation) {
        cache.last = nullptr;
        cache.decoders.clear();
        cache.generation = generation;
    }
    AttributeNameCache::Map::value_type* found = nullptr;
    const uint32_t slot = static_cast<uint32_t>(nameIndex) % AttributeNameMemo::kSlots;
    if (memo) {
        // The memo's decoders point into the cache, which is emptied only when the
        // registry changes; a memo from before that starts again.
        if (memo->generation != generation) *memo = AttributeNameMemo{.generation = generation};
        if (memo->index[slot] == nameIndex)
            found = static_cast<AttributeNameCache::Map::value_type*>(
                const_cast<void*>(memo->decoder[slot]));
    }

    if (!found) {
        std::string decoded;
        const std::string_view name = reader.textView(nameIndex, decoded).orRaiseAt(nameOffset);
        found = cache.last;
        if (!found || found->first != name) {
            auto at = cache.decoders.find(name);
            if (at == cache.decoders.end()) {
                if (cache.decoders.size() >= kMaxCachedNames || name.size() > kMaxCachedNameLength)
                    return VQJavaAttribute::attributeWithName(std::string(name), info, pool);
                std::string key(name);
                AttributeNameCache::Decoder decoder;
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
        // A copy of the name: a decoder may decode attributes of its own through this
        // cache, and a registry changed meanwhile empties it under a reference into it.
        const VQJavaAttribute::Factory factory = found->second.factory;
        return factory(std::string(found->first), info, pool);
    }
    return found->second.unknown;
}

}  // namespace ornith::parsing
