#include "ornith/classfile/VQRecordAttribute.h"

#include <optional>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQAttributeNameCache.h"
#include "ornith/classfile/VQAttributeReading.h"
#include "ornith/classfile/VQParseContext.h"

namespace ornith {

namespace {

const std::string kRecord = "Record";

// name_index, descriptor_index, attributes_count.
constexpr size_t kMinComponent = 6;
// attribute_name_index, attribute_length.
constexpr size_t kMinAttribute = 6;

// Records nested in the attributes of record components: javac never writes one, and a
// hostile file could otherwise nest them as deep as its length allows, one stack frame
// per level.
constexpr int kMaxRecordNesting = 4;
// How deep the parse is in Record attributes, counted in its context.
struct RecordNesting {
    int depth = 0;
};

// One component, or false when it does not hold.
bool readComponent(VQByteCursor& in, const VQConstantPool& pool,
                   std::vector<VQRecordComponent>& out) {
    const VQPoolReader reader(pool);
    uint16_t nameIndex = 0, descriptorIndex = 0, count = 0;
    std::string name, descriptor;
    if (!in.be16(nameIndex) || !in.be16(descriptorIndex) || !in.be16(count) ||
        !reader.textInto(nameIndex, name) || !reader.textInto(descriptorIndex, descriptor) ||
        size_t{count} * kMinAttribute > in.remaining())
        return false;
    std::optional<std::string> signature;
    std::optional<VQAttributeList> attributes;
    if (count > 0) {
        attributes.emplace();
        attributes->reserve(count);
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t attributeName = 0;
        uint32_t length = 0;
        if (!in.be16(attributeName) || !in.be32(length) || length > in.remaining()) return false;
        const uint8_t* info = in.current();
        in.skip(length);
        // The signature's text is kept as it stands, whichever decoder the registry holds
        // for Signature: a generic type reads it from here.
        if (!signature && length == 2 && reader.textEquals(attributeName, "Signature")) {
            std::string text;
            if (!reader.textInto(VQLoadBE16(info), text)) return false;
            signature = std::move(text);
        }
        VQByteStream stream{info, 0, length};
        try {
            attributes->push_back(
                parsing::attributeAtNameIndex(pool, static_cast<int32_t>(attributeName), stream));
        } catch (const VQException&) {
            return false;
        }
    }
    out.emplace_back(std::move(name), std::move(descriptor), std::move(signature),
                     std::move(attributes));
    return true;
}

}  // namespace

const VQJavaAttribute* VQRecordComponent::attributeWithName(std::string_view name) const {
    if (!_attributes) return nullptr;
    for (const auto& attribute : *_attributes)
        if (attribute && attribute->typeName() == name) return attribute.get();
    return nullptr;
}

VQJavaRecordAttribute::VQJavaRecordAttribute(const std::string&, VQByteStream& stream,
                                             const VQConstantPool& pool) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint16_t count = 0;
    // A pool opened on its own (a decoder called directly) gets a context for the length
    // of this attribute, so that records nested in it are counted all the same.
    std::optional<VQParseContext> own;
    VQConstantPool scoped = pool;
    if (!pool.context) scoped.context = &own.emplace();
    struct Level {
        explicit Level(int& counter) : depth(++counter) {}
        ~Level() { --depth; }
        int& depth;
    } level(scoped.context->scratch<RecordNesting>().depth);
    bool ok = level.depth <= kMaxRecordNesting && in.be16(count) &&
              size_t{count} * kMinComponent <= in.remaining();
    if (ok) {
        _components.reserve(count);
        for (uint32_t i = 0; ok && i < count; ++i) ok = readComponent(in, scoped, _components);
    }
    if (!ok || !in.atEnd()) {
        _malformed = true;
        _components = {};
    }
}

const std::string& VQJavaRecordAttribute::typeName() const {
    return kRecord;
}

}  // namespace ornith
