#pragma once
// VQParseClassFile reads one class file in a single forward pass and reports what it
// finds to a builder, in file order. Every builder operation is optional: the parser
// looks at the builder's type once and compiles out the work for operations it lacks,
// so a builder with only setClassName causes no attribute decoding at all.
//
// Builder operations (strings and lists are handed over by value; keep them by moving):
//   1  void setClassAccess(int32_t flags)
//   2  void setClassName(std::string dottedName)
//   3  void setSuperClassName(std::optional<std::string> dottedName)      none for super_class 0
//   4  void addInterfaceName(std::string dottedName)
//   5  void addFieldName(std::string name, std::string descriptor, int32_t flags)
//   6  void addFieldName(std::string name, std::string descriptor, int32_t flags,
//                        std::optional<VQAttributeList> attributes)
//   7  void addMethodName(name, descriptor, flags)                         ordinary methods
//   8  void addMethodName(name, descriptor, flags, attributes)
//   9  void addConstructorName(dottedClassName, descriptor, flags)         every method whose
//   10 void addConstructorName(dottedClassName, descriptor, flags, attributes)  name starts with
//   '<' 11 void setClassAttributes(std::optional<VQAttributeList> attributes)
// Where both variants of 5/6, 7/8 or 9/10 exist, only the one with attributes is called.
// An attribute list is absent (not empty) when its count is 0.
//
// A builder may instead take all of 2, 3, 4, 6, 8, 10 and 11 as views (parsing::TakesViews):
// texts as std::string_view, valid for the call only (views of the class bytes or of a
// per-thread buffer the parser reuses), attributes as VQLentAttributes, a list lent for
// the call whose pointers the builder moves out. Such a parse makes no string and no list
// per name; everything else, failures included, is the same. A builder whose setClassName
// alone takes a std::string_view (a name-only builder, say) gets the name as such a view.
//
// Failures raise VQInvalidArgumentException: "Not a java .class file" (before any builder
// call), "unknown constant type %d", "bad constant pool index %d", "Truncated java .class
// file"; a ConstantValue naming a non-constant raises VQInternalInconsistencyException.
// Builder calls made before a failure stand.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/classfile/VQAttributeNameCache.h"
#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

namespace parsing {

template <class B>
concept HasSetClassAccess = requires(B& b, int32_t flags) {
    b.setClassAccess(flags);
};
template <class B>
concept HasSetClassName = requires(B& b, std::string s) {
    b.setClassName(std::move(s));
};
// setClassName taking a view: the name comes from a reused buffer, with no string made.
template <class B>
concept HasSetClassNameView = requires(B& b, std::string_view s) {
    b.setClassName(s);
};
template <class B>
concept HasSetSuperClassName = requires(B& b, std::optional<std::string> s) {
    b.setSuperClassName(std::move(s));
};
template <class B>
concept HasAddInterfaceName = requires(B& b, std::string s) {
    b.addInterfaceName(std::move(s));
};
template <class B>
concept HasAddField = requires(B& b, std::string s, int32_t f) {
    b.addFieldName(std::move(s), std::move(s), f);
};
template <class B>
concept HasAddFieldWithAttributes = requires(B& b, std::string s, int32_t f,
                                             std::optional<VQAttributeList> a) {
    b.addFieldName(std::move(s), std::move(s), f, std::move(a));
};
template <class B>
concept HasAddMethod = requires(B& b, std::string s, int32_t f) {
    b.addMethodName(std::move(s), std::move(s), f);
};
template <class B>
concept HasAddMethodWithAttributes = requires(B& b, std::string s, int32_t f,
                                              std::optional<VQAttributeList> a) {
    b.addMethodName(std::move(s), std::move(s), f, std::move(a));
};
template <class B>
concept HasAddConstructor = requires(B& b, std::string s, int32_t f) {
    b.addConstructorName(std::move(s), std::move(s), f);
};
template <class B>
concept HasAddConstructorWithAttributes = requires(B& b, std::string s, int32_t f,
                                                   std::optional<VQAttributeList> a) {
    b.addConstructorName(std::move(s), std::move(s), f, std::move(a));
};
template <class B>
concept HasSetClassAttributes = requires(B& b, std::optional<VQAttributeList> a) {
    b.setClassAttributes(std::move(a));
};

// Every text operation taking views, and the attribute operations taking lent lists.
template <class B>
concept TakesViews = requires(B& b, std::string_view v, std::optional<std::string_view> o,
                              int32_t f, VQLentAttributes a) {
    b.setClassName(v);
    b.setSuperClassName(o);
    b.addInterfaceName(v);
    b.addFieldName(v, v, f, a);
    b.addMethodName(v, v, f, a);
    b.addConstructorName(v, v, f, a);
    b.setClassAttributes(a);
};

// An optional hint for a views builder: expectMembers(fields, methods) once, before the
// class name, with the two tables' stated counts each cut to what the bytes left could
// hold (a record takes at least eight), so that a builder may size its storage once
// instead of growing it. The method count is read by stepping over the field table
// ahead of the walk; a table that runs out there gives a hint of 0 methods (the walk
// itself then fails as it would have).
template <class B>
concept TakesMemberHints = requires(B& b, uint32_t n) {
    b.expectMembers(n, n);
};

// The compiled core shared by every instantiation.

// Checks the magic, steps over the version and opens the pool; leaves the stream after it.
VQConstantPoolHandle openClassFile(VQByteStream& stream);
// Raises "Truncated java .class file".
[[noreturn]] void throwTruncated();
// A u2 that must be present: raises "Truncated java .class file" at the end of the data.
inline uint16_t readU2(VQByteStream& stream) {
    if (VQBytesLeft(stream) < 2) throwTruncated();
    return static_cast<uint16_t>(VQReadU2(stream));
}
// Steps over n bytes that must be present, else "Truncated java .class file".
inline void skipChecked(VQByteStream& stream, uint64_t n) {
    if (n > VQBytesLeft(stream)) throwTruncated();
    stream.position += static_cast<uint32_t>(n);
}
// Decodes an attribute list; absent when its count is 0.
std::optional<VQAttributeList> decodeAttributes(VQByteStream& stream, const VQConstantPool& pool,
                                                AttributeNameMemo* memo = nullptr);
// The end of the attribute list (its u2 count first) that starts at p, found by the
// attributes' lengths alone; null when the list runs past `end`.
inline const uint8_t* endOfAttributes(const uint8_t* p, const uint8_t* end) noexcept {
    if (end - p < 2) return nullptr;
    uint32_t count = VQLoadBE16(p);
    p += 2;
    for (; count > 0; --count) {
        // attribute_name_index, then attribute_length and that many bytes.
        if (end - p < 6) return nullptr;
        const uint32_t length = VQLoadBE32(p + 2);
        p += 6;
        if (length > static_cast<size_t>(end - p)) return nullptr;
        p += length;
    }
    return p;
}
// Steps over an attribute list without looking at names or making objects. Inline: every
// member of every class goes through it when the builder takes no attributes.
inline void skipAttributes(VQByteStream& stream) {
    if (stream.position > stream.length) throwTruncated();
    const uint8_t* p =
        endOfAttributes(stream.bytes + stream.position, stream.bytes + stream.length);
    if (!p) throwTruncated();
    stream.position = static_cast<uint32_t>(p - stream.bytes);
}
// True when the Utf8 entry at the index starts with '<' (checked like VQStringValueAtIndex).
bool nameStartsWithAngle(const VQConstantPool& pool, int32_t index);

// The member counts for TakesMemberHints, read ahead of the walk from the stream's
// position (just after the super class): a look that never fails and never moves the
// stream. Each count is cut to what the bytes after it could hold.
struct MemberCounts {
    uint32_t fields = 0;
    uint32_t methods = 0;
};
MemberCounts peekMemberCounts(const VQByteStream& stream) noexcept;

// What a views parse reuses from class to class: the texts that need decoding and the
// attribute list being lent. One per thread; a parse begun inside another's builder call
// on the same thread gets one of its own.
struct ViewScratch {
    std::string name;
    std::string descriptor;
    std::string className;
    VQAttributeList attributes;
};
class ViewScratchLease {
public:
    ViewScratchLease();
    ~ViewScratchLease();
    ViewScratchLease(const ViewScratchLease&) = delete;
    ViewScratchLease& operator=(const ViewScratchLease&) = delete;
    ViewScratch& operator*() const noexcept { return *_scratch; }

private:
    ViewScratch* _scratch;
    bool _own;
};
// The text of the Utf8 (or Unicode) entry, checked as VQStringValueAtIndex checks it: the
// class bytes themselves when plain ASCII, else decoded into the scratch string.
std::string_view textAtIndex(const VQConstantPool& pool, int32_t index, std::string& scratch);
// The dotted name of the Class entry, as VQClassNameAtIndex makes it, in the scratch string.
std::string_view classNameAtIndex(const VQConstantPool& pool, int32_t index, std::string& scratch);
// decodeAttributes into the given list (cleared first); false, with the list empty, when
// the count is 0.
bool decodeAttributesInto(VQByteStream& stream, const VQConstantPool& pool, AttributeNameMemo* memo,
                          VQAttributeList& list);

// The parse for a builder that takes views. The walk, its checks and the order of its
// builder calls are those of VQParseClassFile.
template <class Builder>
void parseWithViews(VQByteStream& stream, const VQConstantPool& pool, Builder& builder) {
    ViewScratchLease lease;
    ViewScratch& scratch = *lease;
    AttributeNameMemo names;
    auto lend = [&scratch](bool present) -> VQLentAttributes {
        if (!present) return std::nullopt;
        return std::span<std::shared_ptr<const VQJavaAttribute>>(scratch.attributes);
    };

    const int32_t access = readU2(stream);
    if constexpr (HasSetClassAccess<Builder>) builder.setClassAccess(access);
    const int32_t thisClass = readU2(stream);
    const int32_t superClass = readU2(stream);
    if constexpr (TakesMemberHints<Builder>) {
        const MemberCounts counts = peekMemberCounts(stream);
        builder.expectMembers(counts.fields, counts.methods);
    }
    builder.setClassName(classNameAtIndex(pool, thisClass, scratch.className));
    if (superClass == 0)
        builder.setSuperClassName(std::nullopt);
    else
        builder.setSuperClassName(classNameAtIndex(pool, superClass, scratch.name));
    const uint16_t interfaceCount = readU2(stream);
    for (uint32_t i = 0; i < interfaceCount; ++i)
        builder.addInterfaceName(classNameAtIndex(pool, readU2(stream), scratch.name));

    const uint16_t fieldCount = readU2(stream);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        const bool present = decodeAttributesInto(stream, pool, &names, scratch.attributes);
        const std::string_view name = textAtIndex(pool, nameIndex, scratch.name);
        builder.addFieldName(name, textAtIndex(pool, descriptorIndex, scratch.descriptor), flags,
                             lend(present));
    }

    const uint16_t methodCount = readU2(stream);
    // The class's dotted name, made once for every constructor.
    std::optional<std::string_view> constructorName;
    for (uint32_t i = 0; i < methodCount; ++i) {
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        const bool constructor = nameStartsWithAngle(pool, nameIndex);
        const bool present = decodeAttributesInto(stream, pool, &names, scratch.attributes);
        if (constructor) {
            if (!constructorName)
                constructorName = classNameAtIndex(pool, thisClass, scratch.className);
            builder.addConstructorName(*constructorName,
                                       textAtIndex(pool, descriptorIndex, scratch.descriptor),
                                       flags, lend(present));
        } else {
            const std::string_view name = textAtIndex(pool, nameIndex, scratch.name);
            builder.addMethodName(name, textAtIndex(pool, descriptorIndex, scratch.descriptor),
                                  flags, lend(present));
        }
    }

    const bool present = decodeAttributesInto(stream, pool, &names, scratch.attributes);
    builder.setClassAttributes(lend(present));
}

}  // namespace parsing

// The builder interface of the class model: exactly these nine operations, the texts and
// attribute lists taken as values or as views.
template <class B>
concept ClassFileParsing = parsing::HasSetClassAccess<B> &&
                           (parsing::TakesViews<B> ||
                            (parsing::HasSetClassName<B> && parsing::HasSetSuperClassName<B> &&
                             parsing::HasAddInterfaceName<B> &&
                             parsing::HasAddFieldWithAttributes<B> &&
                             parsing::HasAddMethodWithAttributes<B> &&
                             parsing::HasAddConstructorWithAttributes<B> &&
                             parsing::HasSetClassAttributes<B>)) &&
                           requires(B& b, int32_t n) {
    b.setFieldCount(n);
};

template <class Builder>
void VQParseClassFile(std::span<const uint8_t> data, Builder& builder) {
    using namespace parsing;
    if (data.size() > kVQMaxDataLength)
        throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile);
    VQByteStream stream{data.data(), 0, static_cast<uint32_t>(data.size())};
    VQConstantPoolHandle pool = openClassFile(stream);
    if constexpr (TakesViews<Builder>) {
        parseWithViews(stream, *pool, builder);
        return;
    }
    [[maybe_unused]] AttributeNameMemo names;

    const int32_t access = readU2(stream);
    if constexpr (HasSetClassAccess<Builder>) builder.setClassAccess(access);
    const int32_t thisClass = readU2(stream);
    const int32_t superClass = readU2(stream);
    if constexpr (HasSetClassNameView<Builder>) {
        ViewScratchLease lease;
        builder.setClassName(classNameAtIndex(*pool, thisClass, (*lease).className));
    } else if constexpr (HasSetClassName<Builder>) {
        builder.setClassName(VQClassNameAtIndex(*pool, thisClass));
    }
    if constexpr (HasSetSuperClassName<Builder>) {
        if (superClass == 0)
            builder.setSuperClassName(std::nullopt);
        else
            builder.setSuperClassName(VQClassNameAtIndex(*pool, superClass));
    }
    // A builder that takes no members still has the rest of the file walked (without
    // names or attribute objects), so that a file cut short fails the same way for
    // every builder.
    const uint16_t interfaceCount = readU2(stream);
    if constexpr (HasAddInterfaceName<Builder>) {
        for (uint32_t i = 0; i < interfaceCount; ++i)
            builder.addInterfaceName(VQClassNameAtIndex(*pool, readU2(stream)));
    } else {
        skipChecked(stream, uint64_t{interfaceCount} * 2);
    }

    const uint16_t fieldCount = readU2(stream);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        if constexpr (HasAddFieldWithAttributes<Builder>) {
            std::optional<VQAttributeList> attributes = decodeAttributes(stream, *pool, &names);
            builder.addFieldName(VQStringValueAtIndex(*pool, nameIndex),
                                 VQStringValueAtIndex(*pool, descriptorIndex), flags,
                                 std::move(attributes));
        } else {
            skipAttributes(stream);
            if constexpr (HasAddField<Builder>)
                builder.addFieldName(VQStringValueAtIndex(*pool, nameIndex),
                                     VQStringValueAtIndex(*pool, descriptorIndex), flags);
        }
    }

    constexpr bool wantsMethods = HasAddMethod<Builder> || HasAddMethodWithAttributes<Builder>;
    constexpr bool wantsConstructors =
        HasAddConstructor<Builder> || HasAddConstructorWithAttributes<Builder>;
    const uint16_t methodCount = readU2(stream);
    std::optional<std::string> constructorName;  // the class's dotted name, made once
    for (uint32_t i = 0; i < methodCount; ++i) {
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        if constexpr (!wantsMethods && !wantsConstructors) {
            skipAttributes(stream);
        } else if (nameStartsWithAngle(*pool, nameIndex)) {
            if constexpr (HasAddConstructorWithAttributes<Builder>) {
                std::optional<VQAttributeList> attributes = decodeAttributes(stream, *pool, &names);
                if (!constructorName) constructorName = VQClassNameAtIndex(*pool, thisClass);
                builder.addConstructorName(std::string(*constructorName),
                                           VQStringValueAtIndex(*pool, descriptorIndex), flags,
                                           std::move(attributes));
            } else {
                skipAttributes(stream);
                if constexpr (HasAddConstructor<Builder>) {
                    if (!constructorName) constructorName = VQClassNameAtIndex(*pool, thisClass);
                    builder.addConstructorName(std::string(*constructorName),
                                               VQStringValueAtIndex(*pool, descriptorIndex), flags);
                }
            }
        } else {
            if constexpr (HasAddMethodWithAttributes<Builder>) {
                std::optional<VQAttributeList> attributes = decodeAttributes(stream, *pool, &names);
                builder.addMethodName(VQStringValueAtIndex(*pool, nameIndex),
                                      VQStringValueAtIndex(*pool, descriptorIndex), flags,
                                      std::move(attributes));
            } else {
                skipAttributes(stream);
                if constexpr (HasAddMethod<Builder>)
                    builder.addMethodName(VQStringValueAtIndex(*pool, nameIndex),
                                          VQStringValueAtIndex(*pool, descriptorIndex), flags);
            }
        }
    }

    if constexpr (HasSetClassAttributes<Builder>)
        builder.setClassAttributes(decodeAttributes(stream, *pool, &names));
    else
        skipAttributes(stream);
}

template <class Builder>
void VQParseClassFile(const VQByteBuffer& data, Builder& builder) {
    VQParseClassFile(data.span(), builder);
}

}  // namespace ornith
