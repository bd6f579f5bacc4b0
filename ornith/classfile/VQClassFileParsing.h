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
// buffer of the parse context), attributes as VQLentAttributes, a list lent for the call
// whose pointers the builder moves out. Such a parse makes no string and no list per name.
// A views builder may take, in place of each lent list, where the list lies in the file
// (parsing::TakesAttributeOffsets, as a class read with lazy attributes does): a
// VQAttributesAt, the offset of the list's count and the count, for a list whose records
// the walk has checked against the file's length but whose names and contents it has not
// looked at. Such a builder decodes each list itself when it wants it.
// A builder whose setClassName alone takes a std::string_view (a name-only builder, say)
// gets the name as such a view. There is one walk, which hands out views; the string
// operations get theirs through one adapter over it, so that every builder meets the
// same checks in the same order and the same failures.
//
// A parse works in a VQParseContext: the one given, which a host may keep for parse after
// parse, or else one of its own (see VQParseContext.h).
//
// Failures raise VQInvalidArgumentException: "Not a java .class file" (before any builder
// call), "unknown constant type %d", "bad constant pool index %d", "Truncated java .class
// file" (a file that ends anywhere after the magic, in the constant pool too); a
// ConstantValue naming a non-constant raises VQInternalInconsistencyException. Each
// carries its VQErrorKind and, where known, the offset in the file where decoding failed.
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
#include "ornith/classfile/VQParseContext.h"

namespace ornith {

// An attribute list stepped over by the walk: where its u2 count lies in the class file,
// and that count. Every record's header and info bytes lie within the file.
struct VQAttributesAt {
    uint32_t offset = 0;
    uint16_t count = 0;
};

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

// Every text operation taking views, and the attribute operations taking where each list
// lies instead of the list.
template <class B>
concept TakesAttributeOffsets = requires(B& b, std::string_view v,
                                         std::optional<std::string_view> o, int32_t f,
                                         VQAttributesAt a) {
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

// Checks the magic, steps over the version and opens the pool in the context; leaves the
// stream after it.
VQConstantPoolHandle openClassFile(VQByteStream& stream, VQParseContext& context);
// Raises "Truncated java .class file", of the class file (the default) or of an attribute
// that ends before its own structure does, with where the missing part starts.
[[noreturn]] void throwTruncated(uint32_t offset,
                                 VQErrorKind kind = VQErrorKind::truncatedClassFile);
// throwTruncated at the stream's position. Out of line and cold, so that the reads below
// stay small enough to be inlined into every step of the walk.
[[noreturn, gnu::cold]] void throwTruncatedAt(const VQByteStream& stream);
// A u2 that must be present: raises "Truncated java .class file" at the end of the data.
inline uint16_t readU2(VQByteStream& stream) {
    if (VQBytesLeft(stream) < 2) [[unlikely]]
        throwTruncatedAt(stream);
    return static_cast<uint16_t>(VQReadU2(stream));
}
// Steps over n bytes that must be present, else "Truncated java .class file".
inline void skipChecked(VQByteStream& stream, uint64_t n) {
    if (n > VQBytesLeft(stream)) [[unlikely]]
        throwTruncatedAt(stream);
    stream.position += static_cast<uint32_t>(n);
}
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
    if (stream.position > stream.length) [[unlikely]]
        throwTruncatedAt(stream);
    const uint8_t* p =
        endOfAttributes(stream.bytes + stream.position, stream.bytes + stream.length);
    if (!p) [[unlikely]]
        throwTruncatedAt(stream);
    stream.position = static_cast<uint32_t>(p - stream.bytes);
}
// Raises "Truncated java .class file" for the attribute list at the stream, which
// endOfAttributes found to run past the data, at the offset where decoding the list
// would have found it missing.
[[noreturn, gnu::cold]] void throwTruncatedAttributes(const VQByteStream& stream);
// Steps over an attribute list as skipAttributes does, and answers where it lies. A list
// that runs past the data fails as decoding it would (decodeAttributesInto), at the same
// offset, so that a walk that leaves lists for later fails a cut file the same way.
inline VQAttributesAt skipAttributesAt(VQByteStream& stream) {
    const uint32_t at = stream.position;
    if (at > stream.length) [[unlikely]]
        throwTruncatedAt(stream);
    const uint8_t* p = endOfAttributes(stream.bytes + at, stream.bytes + stream.length);
    if (!p) [[unlikely]]
        throwTruncatedAttributes(stream);
    stream.position = static_cast<uint32_t>(p - stream.bytes);
    return {at, static_cast<uint16_t>(VQLoadBE16(stream.bytes + at))};
}
// Decodes the attribute list at the stream into the given list (cleared first); false,
// with the list empty, when the count is 0.
bool decodeAttributesInto(VQByteStream& stream, const VQConstantPool& pool, AttributeNameMemo* memo,
                          VQAttributeList& list);

// The member counts for TakesMemberHints, read ahead of the walk from the stream's
// position (just after the super class): a look that never fails and never moves the
// stream. Each count is cut to what the bytes after it could hold.
struct MemberCounts {
    uint32_t fields = 0;
    uint32_t methods = 0;
};
MemberCounts peekMemberCounts(const VQByteStream& stream) noexcept;

// The pool lookups of the walk: a failure raised with the offset of the index in the file.
inline std::string_view textAt(const VQPoolReader& reader, int32_t index, std::string& scratch,
                               uint32_t at) {
    return reader.textView(index, scratch).orRaiseAt(at);
}
inline std::string_view classNameAt(const VQPoolReader& reader, int32_t index, std::string& scratch,
                                    uint32_t at) {
    return reader.dottedClassName(index, scratch).orRaiseAt(at);
}
// True when the name (a Utf8 or Unicode entry) starts with '<'.
inline bool startsWithAngle(const VQPoolReader& reader, int32_t index, uint32_t at) {
    const VQPoolText text = reader.text(index).orRaiseAt(at);
    if (!text.utf16) return !text.bytes.empty() && text.bytes[0] == '<';
    return text.bytes.size() >= 2 && text.bytes[0] == 0 && text.bytes[1] == '<';
}

// What the walk finds out of its sink (a views builder, or the adapter of a string one).
template <class S>
concept SinksClassName = requires(S& s, std::string_view v) {
    s.setClassName(v);
};
template <class S>
concept SinksSuperClassName = requires(S& s, std::optional<std::string_view> v) {
    s.setSuperClassName(v);
};
template <class S>
concept SinksInterfaceName = requires(S& s, std::string_view v) {
    s.addInterfaceName(v);
};
template <class S>
concept SinksField = requires(S& s, std::string_view v, int32_t f) {
    s.addFieldName(v, v, f);
};
template <class S>
concept SinksFieldWithAttributes = requires(S& s, std::string_view v, int32_t f,
                                            VQLentAttributes a) {
    s.addFieldName(v, v, f, a);
};
template <class S>
concept SinksMethod = requires(S& s, std::string_view v, int32_t f) {
    s.addMethodName(v, v, f);
};
template <class S>
concept SinksMethodWithAttributes = requires(S& s, std::string_view v, int32_t f,
                                             VQLentAttributes a) {
    s.addMethodName(v, v, f, a);
};
template <class S>
concept SinksConstructor = requires(S& s, std::string_view v, int32_t f) {
    s.addConstructorName(v, v, f);
};
template <class S>
concept SinksConstructorWithAttributes = requires(S& s, std::string_view v, int32_t f,
                                                  VQLentAttributes a) {
    s.addConstructorName(v, v, f, a);
};
template <class S>
concept SinksClassAttributes = requires(S& s, VQLentAttributes a) {
    s.setClassAttributes(a);
};
template <class S>
concept SinksFieldAt = requires(S& s, std::string_view v, int32_t f, VQAttributesAt a) {
    s.addFieldName(v, v, f, a);
};
template <class S>
concept SinksMethodAt = requires(S& s, std::string_view v, int32_t f, VQAttributesAt a) {
    s.addMethodName(v, v, f, a);
};
template <class S>
concept SinksConstructorAt = requires(S& s, std::string_view v, int32_t f, VQAttributesAt a) {
    s.addConstructorName(v, v, f, a);
};
template <class S>
concept SinksClassAttributesAt = requires(S& s, VQAttributesAt a) {
    s.setClassAttributes(a);
};

// The walk: every check and every builder call, in file order, with texts as views and
// attribute lists lent. What the sink does not take is stepped over, never looked up,
// but still walked, so that a file cut short fails the same way for every builder.
template <class Sink>
void walkClassFile(VQByteStream& stream, const VQConstantPool& pool, VQParseContext& context,
                   Sink& sink) {
    const VQPoolReader reader(pool);
    [[maybe_unused]] AttributeNameMemo names;
    [[maybe_unused]] auto lend = [&context](bool present) -> VQLentAttributes {
        if (!present) return std::nullopt;
        return std::span<std::shared_ptr<const VQJavaAttribute>>(context.attributes);
    };
    [[maybe_unused]] auto decode = [&](VQByteStream& at) {
        return decodeAttributesInto(at, pool, &names, context.attributes);
    };

    const int32_t access = readU2(stream);
    if constexpr (HasSetClassAccess<Sink>) sink.setClassAccess(access);
    const uint32_t thisClassAt = stream.position;
    const int32_t thisClass = readU2(stream);
    const int32_t superClass = readU2(stream);
    if constexpr (TakesMemberHints<Sink>) {
        const MemberCounts counts = peekMemberCounts(stream);
        sink.expectMembers(counts.fields, counts.methods);
    }
    // The class's dotted name, made once: for the class and for every constructor.
    std::optional<std::string_view> className;
    [[maybe_unused]] auto nameOfClass = [&]() -> std::string_view {
        if (!className) className = classNameAt(reader, thisClass, context.className, thisClassAt);
        return *className;
    };
    if constexpr (SinksClassName<Sink>) sink.setClassName(nameOfClass());
    if constexpr (SinksSuperClassName<Sink>) {
        if (superClass == 0)
            sink.setSuperClassName(std::nullopt);
        else
            sink.setSuperClassName(classNameAt(reader, superClass, context.name, thisClassAt + 2));
    }
    const uint16_t interfaceCount = readU2(stream);
    if constexpr (SinksInterfaceName<Sink>) {
        for (uint32_t i = 0; i < interfaceCount; ++i) {
            const uint32_t at = stream.position;
            sink.addInterfaceName(classNameAt(reader, readU2(stream), context.name, at));
        }
    } else {
        skipChecked(stream, uint64_t{interfaceCount} * 2);
    }

    const uint16_t fieldCount = readU2(stream);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const uint32_t at = stream.position;
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        if constexpr (SinksFieldWithAttributes<Sink>) {
            const bool present = decode(stream);
            const std::string_view name = textAt(reader, nameIndex, context.name, at + 2);
            const std::string_view descriptor =
                textAt(reader, descriptorIndex, context.descriptor, at + 4);
            sink.addFieldName(name, descriptor, flags, lend(present));
        } else if constexpr (SinksFieldAt<Sink>) {
            const VQAttributesAt list = skipAttributesAt(stream);
            const std::string_view name = textAt(reader, nameIndex, context.name, at + 2);
            const std::string_view descriptor =
                textAt(reader, descriptorIndex, context.descriptor, at + 4);
            sink.addFieldName(name, descriptor, flags, list);
        } else {
            skipAttributes(stream);
            if constexpr (SinksField<Sink>) {
                const std::string_view name = textAt(reader, nameIndex, context.name, at + 2);
                const std::string_view descriptor =
                    textAt(reader, descriptorIndex, context.descriptor, at + 4);
                sink.addFieldName(name, descriptor, flags);
            }
        }
    }

    constexpr bool wantsMethods =
        SinksMethod<Sink> || SinksMethodWithAttributes<Sink> || SinksMethodAt<Sink>;
    constexpr bool wantsConstructors =
        SinksConstructor<Sink> || SinksConstructorWithAttributes<Sink> || SinksConstructorAt<Sink>;
    const uint16_t methodCount = readU2(stream);
    for (uint32_t i = 0; i < methodCount; ++i) {
        const uint32_t at = stream.position;
        const int32_t flags = readU2(stream);
        const int32_t nameIndex = readU2(stream);
        const int32_t descriptorIndex = readU2(stream);
        if constexpr (!wantsMethods && !wantsConstructors) {
            skipAttributes(stream);
        } else if (startsWithAngle(reader, nameIndex, at + 2)) {
            constexpr bool withAttributes = SinksConstructorWithAttributes<Sink>;
            constexpr bool withPlaces = SinksConstructorAt<Sink> && !withAttributes;
            bool present = false;
            [[maybe_unused]] VQAttributesAt list;
            if constexpr (withAttributes)
                present = decode(stream);
            else if constexpr (withPlaces)
                list = skipAttributesAt(stream);
            else
                skipAttributes(stream);
            if constexpr (wantsConstructors) {
                const std::string_view owner = nameOfClass();
                const std::string_view descriptor =
                    textAt(reader, descriptorIndex, context.descriptor, at + 4);
                if constexpr (withAttributes)
                    sink.addConstructorName(owner, descriptor, flags, lend(present));
                else if constexpr (withPlaces)
                    sink.addConstructorName(owner, descriptor, flags, list);
                else
                    sink.addConstructorName(owner, descriptor, flags);
            }
        } else {
            constexpr bool withAttributes = SinksMethodWithAttributes<Sink>;
            constexpr bool withPlaces = SinksMethodAt<Sink> && !withAttributes;
            bool present = false;
            [[maybe_unused]] VQAttributesAt list;
            if constexpr (withAttributes)
                present = decode(stream);
            else if constexpr (withPlaces)
                list = skipAttributesAt(stream);
            else
                skipAttributes(stream);
            if constexpr (wantsMethods) {
                const std::string_view name = textAt(reader, nameIndex, context.name, at + 2);
                const std::string_view descriptor =
                    textAt(reader, descriptorIndex, context.descriptor, at + 4);
                if constexpr (withAttributes)
                    sink.addMethodName(name, descriptor, flags, lend(present));
                else if constexpr (withPlaces)
                    sink.addMethodName(name, descriptor, flags, list);
                else
                    sink.addMethodName(name, descriptor, flags);
            }
        }
    }

    if constexpr (SinksClassAttributes<Sink>)
        sink.setClassAttributes(lend(decode(stream)));
    else if constexpr (SinksClassAttributesAt<Sink>)
        sink.setClassAttributes(skipAttributesAt(stream));
    else
        skipAttributes(stream);
}

// The one adapter from the walk's views to a builder's strings and owned lists: each
// operation the builder has, in the form the walk calls, and nothing else.
template <class B>
class StringBuilderAdapter {
public:
    explicit StringBuilderAdapter(B& builder) noexcept : _b(builder) {}

    void setClassAccess(int32_t flags) requires HasSetClassAccess<B> { _b.setClassAccess(flags); }
    void setClassName(std::string_view name) requires(HasSetClassNameView<B> ||
                                                      HasSetClassName<B>) {
        if constexpr (HasSetClassNameView<B>)
            _b.setClassName(name);
        else
            _b.setClassName(std::string(name));
    }
    void setSuperClassName(std::optional<std::string_view> name) requires HasSetSuperClassName<B> {
        _b.setSuperClassName(name ? std::optional<std::string>(std::in_place, *name)
                                  : std::nullopt);
    }
    void addInterfaceName(std::string_view name) requires HasAddInterfaceName<B> {
        _b.addInterfaceName(std::string(name));
    }
    void addFieldName(std::string_view name, std::string_view descriptor,
                      int32_t flags) requires HasAddField<B> {
        _b.addFieldName(std::string(name), std::string(descriptor), flags);
    }
    void addFieldName(std::string_view name, std::string_view descriptor, int32_t flags,
                      VQLentAttributes attributes) requires HasAddFieldWithAttributes<B> {
        _b.addFieldName(std::string(name), std::string(descriptor), flags, owned(attributes));
    }
    void addMethodName(std::string_view name, std::string_view descriptor,
                       int32_t flags) requires HasAddMethod<B> {
        _b.addMethodName(std::string(name), std::string(descriptor), flags);
    }
    void addMethodName(std::string_view name, std::string_view descriptor, int32_t flags,
                       VQLentAttributes attributes) requires HasAddMethodWithAttributes<B> {
        _b.addMethodName(std::string(name), std::string(descriptor), flags, owned(attributes));
    }
    void addConstructorName(std::string_view name, std::string_view descriptor,
                            int32_t flags) requires HasAddConstructor<B> {
        _b.addConstructorName(std::string(name), std::string(descriptor), flags);
    }
    void addConstructorName(std::string_view name, std::string_view descriptor, int32_t flags,
                            VQLentAttributes attributes) requires
        HasAddConstructorWithAttributes<B> {
        _b.addConstructorName(std::string(name), std::string(descriptor), flags, owned(attributes));
    }
    void setClassAttributes(VQLentAttributes attributes) requires HasSetClassAttributes<B> {
        _b.setClassAttributes(owned(attributes));
    }

private:
    // The lent list as one of the builder's own, its pointers moved out.
    static std::optional<VQAttributeList> owned(VQLentAttributes lent) {
        if (!lent) return std::nullopt;
        return VQAttributeList(std::make_move_iterator(lent->begin()),
                               std::make_move_iterator(lent->end()));
    }

    B& _b;
};

// Drops, when the parse ends however it ends, the attribute objects the builder did not take.
class LentListReset {
public:
    explicit LentListReset(VQAttributeList& list) noexcept : _list(list) {}
    ~LentListReset() { _list.clear(); }
    LentListReset(const LentListReset&) = delete;
    LentListReset& operator=(const LentListReset&) = delete;

private:
    VQAttributeList& _list;
};

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

// The parse in a context the caller keeps (one parse at a time per context).
template <class Builder>
void VQParseClassFile(std::span<const uint8_t> data, Builder& builder, VQParseContext& context) {
    using namespace parsing;
    if (data.size() > kVQMaxDataLength)
        throw VQInvalidArgumentException("Not a java .class file", VQErrorKind::notClassFile);
    VQByteStream stream{data.data(), 0, static_cast<uint32_t>(data.size())};
    const LentListReset reset(context.attributes);
    VQConstantPoolHandle pool = openClassFile(stream, context);
    if constexpr (TakesViews<Builder> || TakesAttributeOffsets<Builder>) {
        walkClassFile(stream, *pool, context, builder);
    } else {
        StringBuilderAdapter<Builder> adapter(builder);
        walkClassFile(stream, *pool, context, adapter);
    }
}

template <class Builder>
void VQParseClassFile(std::span<const uint8_t> data, Builder& builder) {
    const parsing::DefaultContext context;
    VQParseClassFile(data, builder, *context);
}

template <class Builder>
void VQParseClassFile(const VQByteBuffer& data, Builder& builder) {
    VQParseClassFile(data.span(), builder);
}

}  // namespace ornith
