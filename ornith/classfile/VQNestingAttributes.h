#pragma once
// The attributes that say how a class nests in others and which classes it lets in:
// InnerClasses, EnclosingMethod, NestHost, NestMembers and PermittedSubclasses.
//
// Class names are dotted (java.util.Map$Entry). Names are kept in one block of text per
// attribute rather than one string each: the InnerClasses attribute of a class is read
// for most classes of a library, and its names would otherwise be the model's largest
// new cost. A malformed attribute (counts, length or pool indexes that do not hold)
// decodes as empty and answers isMalformed(); the class's parse goes on.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

struct VQTailRequest;

// Names in one block of text: each name is a range of it.
class VQNameBlock {
public:
    static constexpr uint32_t kAbsent = 0xFFFFFFFF;
    struct Range {
        uint32_t offset = kAbsent;
        uint32_t length = 0;
    };

    Range add(std::string_view text);
    std::optional<std::string_view> text(Range range) const noexcept {
        if (range.offset == kAbsent) return std::nullopt;
        return std::string_view(_text).substr(range.offset, range.length);
    }
    std::string& storage() noexcept { return _text; }
    void shrink() { _text.shrink_to_fit(); }
    void clear() noexcept { _text.clear(); }

private:
    std::string _text;
};

// One row of InnerClasses: a class that is not top-level, as some class file names it.
struct VQInnerClassEntry {
    std::string_view innerClassName;
    // Absent for local and anonymous classes (outer_class_info_index 0).
    std::optional<std::string_view> outerClassName;
    // The name in source; absent for anonymous classes (inner_name_index 0).
    std::optional<std::string_view> simpleName;
    // The modifiers as declared in source (private, protected, static ... that the class
    // file's own access flags cannot carry for a nested class).
    uint32_t accessFlags = 0;
};

class VQJavaInnerClassesAttribute : public VQJavaAttribute {
public:
    VQJavaInnerClassesAttribute(const std::string& name, VQByteStream& stream,
                                const VQConstantPool& pool);
    // The registry's decoder: the attribute, its rows and its names in one allocation
    // (the attribute is on most classes of a library).
    static std::shared_ptr<const VQJavaAttribute> attributeWithData(const std::string& name,
                                                                    VQByteStream& stream,
                                                                    const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaInnerClassesAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }

    size_t numberOfEntries() const noexcept { return _count; }
    // File order; the index must be below numberOfEntries.
    VQInnerClassEntry entryAtIndex(size_t index) const;
    // The first entry whose inner class has the dotted name.
    std::optional<VQInnerClassEntry> entryForClassName(std::string_view dottedName) const;

private:
    struct Row {
        VQNameBlock::Range inner, outer, simple;
        uint32_t flags;
    };
    class Decoding;

public:
    // Made by attributeWithData only (no caller can name a Decoding).
    VQJavaInnerClassesAttribute(const VQTailRequest& block, const Decoding& decoding);

private:
    void adopt(const Decoding& decoding, uint8_t* block);
    Row rowAt(size_t index) const noexcept;
    std::string_view textOf(VQNameBlock::Range range) const noexcept;

    // The rows, then the text of their names: in the allocation of the attribute itself
    // when the registry made it, else in a block of its own.
    const uint8_t* _data = nullptr;
    std::unique_ptr<uint8_t[]> _owned;
    uint32_t _count = 0;
    uint32_t _textLength = 0;
    bool _malformed = false;
};

// The class, and where known the method, that a local or anonymous class sits in.
class VQJavaEnclosingMethodAttribute : public VQJavaAttribute {
public:
    VQJavaEnclosingMethodAttribute(const std::string& name, VQByteStream& stream,
                                   const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaEnclosingMethodAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }

    const std::string& className() const noexcept { return _className; }
    // Absent when the class sits in an initializer rather than a method (method_index 0).
    const std::optional<std::string>& methodName() const noexcept { return _methodName; }
    const std::optional<std::string>& methodDescriptor() const noexcept { return _descriptor; }

private:
    std::string _className;
    std::optional<std::string> _methodName, _descriptor;
    bool _malformed = false;
};

class VQJavaNestHostAttribute : public VQJavaAttribute {
public:
    VQJavaNestHostAttribute(const std::string& name, VQByteStream& stream,
                            const VQConstantPool& pool);
    // The registry's decoder: the nested classes of one host are usually read one after
    // another, and an attribute that names the same host as the one read last in the same
    // parse context is that same (immutable) object.
    static std::shared_ptr<const VQJavaAttribute> attributeWithData(const std::string& name,
                                                                    VQByteStream& stream,
                                                                    const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaNestHostAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    // Dotted; empty for a malformed attribute.
    const std::string& hostClassName() const noexcept { return _hostClassName; }

private:
    std::string _hostClassName;
    bool _malformed = false;
};

// A u2 count and that many Class entries: NestMembers and PermittedSubclasses.
class VQJavaClassListAttribute : public VQJavaAttribute {
public:
    VQJavaClassListAttribute(const std::string& name, VQByteStream& stream,
                             const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaClassListAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }

    size_t numberOfClasses() const noexcept { return _classes.size(); }
    // Dotted, file order; the index must be below numberOfClasses.
    std::string_view classNameAtIndex(size_t index) const;
    std::vector<std::string> classNames() const;

private:
    VQNameBlock _names;
    std::vector<VQNameBlock::Range> _classes;
    bool _permittedSubclasses;
    bool _malformed = false;
};

}  // namespace ornith
