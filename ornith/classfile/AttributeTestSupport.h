#pragma once
// Decoding single attributes in tests: a pool opened from a writer's entries within a parse
// context, as a parse opens it (so that what decoders share within a parse is shared
// here too), and the registry's decoder for a name applied to info bytes against it.

#include <memory>
#include <string>

#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQParseContext.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith::testing {

class AttributePool {
public:
    explicit AttributePool(const ClassFileWriter& w) : _bytes(w.bytes()) {
        VQByteStream s{_bytes.data(), 8, static_cast<uint32_t>(_bytes.size())};
        _pool.reset(parsing::openConstantPool(s, &_context).orRaise());
    }
    std::shared_ptr<const VQJavaAttribute> decode(const std::string& name,
                                                  const Bytes& info) const {
        VQByteStream s{info.data(), 0, static_cast<uint32_t>(info.size())};
        return VQJavaAttribute::attributeWithName(name, s, *_pool);
    }
    template <class T>
    std::shared_ptr<const T> decodeAs(const std::string& name, const Bytes& info) const {
        return std::dynamic_pointer_cast<const T>(decode(name, info));
    }
    const VQConstantPool& pool() const { return *_pool; }

private:
    Bytes _bytes;
    VQParseContext _context;
    VQConstantPoolHandle _pool;
};

inline Bytes u2s(std::initializer_list<uint32_t> values) {
    Bytes out;
    for (uint32_t v : values) putU2(out, v);
    return out;
}

}  // namespace ornith::testing
