#pragma once
// A byte-level class-file writer for tests: every well-formed and malformed shape that a
// test needs can be put together from it. Not installed; tests only.

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ornith/base/VQEndian.h"

namespace ornith::testing {

using Bytes = std::vector<uint8_t>;

inline void putU1(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
}
// Big-endian, as every number in a class file. putU2 keeps the low 16 bits of its value, so
// that a test can write a count or index that is out of range on purpose.
inline void putU2(Bytes& out, uint32_t v) {
    uint8_t bytes[2];
    VQStoreBE16(bytes, static_cast<uint16_t>(v));
    out.insert(out.end(), bytes, bytes + 2);
}
inline void putU4(Bytes& out, uint32_t v) {
    uint8_t bytes[4];
    VQStoreBE32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}
inline void putU8(Bytes& out, uint64_t v) {
    uint8_t bytes[8];
    VQStoreBE64(bytes, v);
    out.insert(out.end(), bytes, bytes + 8);
}

class ClassFileWriter {
public:
    struct Attribute {
        uint16_t nameIndex;
        Bytes info;
        // When set, written as the attribute_length instead of info.size() (for lying lengths).
        int64_t declaredLength = -1;
    };
    struct Member {
        uint16_t flags, nameIndex, descriptorIndex;
        std::vector<Attribute> attributes;
    };

    // Constant pool. Utf8, Class and String entries are shared when asked for twice.
    uint16_t utf8(std::string_view text) {
        auto it = _utf8.find(std::string(text));
        if (it != _utf8.end()) return it->second;
        Bytes body;
        putU2(body, static_cast<uint32_t>(text.size()));
        body.insert(body.end(), text.begin(), text.end());
        uint16_t index = raw(1, std::move(body));
        _utf8.emplace(std::string(text), index);
        return index;
    }
    // A Utf8 entry from raw bytes (for modified UTF-8 and malformed text).
    uint16_t utf8Bytes(const Bytes& bytes) {
        Bytes body;
        putU2(body, static_cast<uint32_t>(bytes.size()));
        body.insert(body.end(), bytes.begin(), bytes.end());
        return raw(1, std::move(body));
    }
    uint16_t classRef(std::string_view internalName) {
        auto it = _classes.find(std::string(internalName));
        if (it != _classes.end()) return it->second;
        uint16_t name = utf8(internalName);
        Bytes body;
        putU2(body, name);
        uint16_t index = raw(7, std::move(body));
        _classes.emplace(std::string(internalName), index);
        return index;
    }
    uint16_t string(std::string_view text) {
        uint16_t value = utf8(text);
        Bytes body;
        putU2(body, value);
        return raw(8, std::move(body));
    }
    uint16_t integer(int32_t v) {
        Bytes body;
        putU4(body, static_cast<uint32_t>(v));
        return raw(3, std::move(body));
    }
    uint16_t floating(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Bytes body;
        putU4(body, bits);
        return raw(4, std::move(body));
    }
    uint16_t longInteger(int64_t v) {
        Bytes body;
        putU8(body, static_cast<uint64_t>(v));
        return raw(5, std::move(body), 2);
    }
    uint16_t doubleFloating(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        Bytes body;
        putU8(body, bits);
        return raw(6, std::move(body), 2);
    }
    // Any entry: the tag, its body as written, and how many indexes it takes.
    uint16_t raw(uint8_t tag, Bytes body, int slots = 1) {
        uint16_t index = _next;
        _pool.push_back(tag);
        _pool.insert(_pool.end(), body.begin(), body.end());
        _next = static_cast<uint16_t>(_next + slots);
        return index;
    }
    // The pool count written to the file; by default one more than the last index used.
    void setPoolCount(int count) { _poolCount = count; }

    // Class header.
    void setAccess(uint16_t flags) { _access = flags; }
    void setThisClass(std::string_view internalName) { _this = classRef(internalName); }
    void setThisClassIndex(uint16_t index) { _this = index; }
    void setSuperClass(std::string_view internalName) { _super = classRef(internalName); }
    void setSuperClassIndex(uint16_t index) { _super = index; }
    void addInterface(std::string_view internalName) {
        _interfaces.push_back(classRef(internalName));
    }
    void setVersion(uint16_t major, uint16_t minor = 0) { _major = major, _minor = minor; }

    // Attributes.
    Attribute attribute(std::string_view name, Bytes info = {}) {
        return {utf8(name), std::move(info)};
    }
    Attribute sourceFile(std::string_view fileName) {
        Bytes info;
        putU2(info, utf8(fileName));
        return attribute("SourceFile", std::move(info));
    }
    Attribute constantValue(uint16_t poolIndex) {
        Bytes info;
        putU2(info, poolIndex);
        return attribute("ConstantValue", std::move(info));
    }
    Attribute exceptions(const std::vector<std::string>& internalNames) {
        Bytes info;
        putU2(info, static_cast<uint32_t>(internalNames.size()));
        for (const auto& name : internalNames) putU2(info, classRef(name));
        return attribute("Exceptions", std::move(info));
    }

    // Members, in file order.
    void addField(uint16_t flags, std::string_view name, std::string_view descriptor,
                  std::vector<Attribute> attributes = {}) {
        _fields.push_back({flags, utf8(name), utf8(descriptor), std::move(attributes)});
    }
    void addMethod(uint16_t flags, std::string_view name, std::string_view descriptor,
                   std::vector<Attribute> attributes = {}) {
        _methods.push_back({flags, utf8(name), utf8(descriptor), std::move(attributes)});
    }
    void addClassAttribute(Attribute attribute) {
        _classAttributes.push_back(std::move(attribute));
    }

    Bytes bytes() const {
        Bytes out;
        putU4(out, 0xCAFEBABE);
        putU2(out, _minor);
        putU2(out, _major);
        putU2(out, static_cast<uint32_t>(_poolCount >= 0 ? _poolCount : _next));
        out.insert(out.end(), _pool.begin(), _pool.end());
        putU2(out, _access);
        putU2(out, _this);
        putU2(out, _super);
        putU2(out, static_cast<uint32_t>(_interfaces.size()));
        for (uint16_t i : _interfaces) putU2(out, i);
        writeMembers(out, _fields);
        writeMembers(out, _methods);
        writeAttributes(out, _classAttributes);
        return out;
    }

private:
    static void writeAttributes(Bytes& out, const std::vector<Attribute>& attributes) {
        putU2(out, static_cast<uint32_t>(attributes.size()));
        for (const auto& a : attributes) {
            putU2(out, a.nameIndex);
            putU4(out, a.declaredLength >= 0 ? static_cast<uint32_t>(a.declaredLength)
                                             : static_cast<uint32_t>(a.info.size()));
            out.insert(out.end(), a.info.begin(), a.info.end());
        }
    }
    static void writeMembers(Bytes& out, const std::vector<Member>& members) {
        putU2(out, static_cast<uint32_t>(members.size()));
        for (const auto& m : members) {
            putU2(out, m.flags);
            putU2(out, m.nameIndex);
            putU2(out, m.descriptorIndex);
            writeAttributes(out, m.attributes);
        }
    }

    Bytes _pool;
    uint16_t _next = 1;
    int _poolCount = -1;
    std::map<std::string, uint16_t> _utf8, _classes;
    uint16_t _access = 0x0021, _this = 0, _super = 0, _major = 52, _minor = 0;
    std::vector<uint16_t> _interfaces;
    std::vector<Member> _fields, _methods;
    std::vector<Attribute> _classAttributes;
};

}  // namespace ornith::testing
