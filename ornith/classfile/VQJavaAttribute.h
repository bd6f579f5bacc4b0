#pragma once
// Attribute objects: SourceFile, ConstantValue and Exceptions are decoded here, the nesting,
// record, parameter and annotation attributes in their own files; every other attribute
// is kept by its name alone. A host may register decoders of its own.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaNumberText.h"

namespace ornith {

class VQJavaAttribute;
using VQAttributeList = std::vector<std::shared_ptr<const VQJavaAttribute>>;
// Attributes that their owner keeps (a class or a member), in file order.
using VQAttributeSpan = std::span<const std::shared_ptr<const VQJavaAttribute>>;
// Attributes lent to a builder for the length of one call: it moves out what it keeps.
using VQLentAttributes = std::optional<std::span<std::shared_ptr<const VQJavaAttribute>>>;

// The value of a ConstantValue attribute. Numbers keep their kind.
class VQConstantValue {
public:
    using Value = std::variant<int32_t, float, int64_t, double, std::string>;

    VQConstantValue(Value value) : _value(std::move(value)) {}  // NOLINT: implicit on purpose

    const Value& value() const noexcept { return _value; }
    bool isString() const noexcept { return std::holds_alternative<std::string>(_value); }

    // Integers in plain decimal; strings unchanged, without quotes; floats and doubles
    // with the shortest digits that read back as the same value, in Java's layout
    // (1.5, 1000000.0, 1.0E7, 1.0E-5, -0.0, NaN, Infinity).
    std::string description() const;

    bool operator==(const VQConstantValue&) const = default;

private:
    Value _value;
};

class VQJavaAttribute {
public:
    // Builds an attribute from its info bytes (stream at position 0, length =
    // attribute_length) and the pool of the class being parsed.
    using Factory = std::shared_ptr<const VQJavaAttribute> (*)(const std::string& name,
                                                               VQByteStream& stream,
                                                               const VQConstantPool& pool);

    virtual ~VQJavaAttribute();

    // The attribute's name. The base raises VQInvalidArgumentException: every kind supplies it.
    virtual const std::string& typeName() const;
    // Name of the concrete kind, used in the report of a missing operation.
    virtual const char* kindName() const { return "VQJavaAttribute"; }

    // Sets the decoder for an attribute name, replacing an earlier one.
    static void registerAttributeClass(Factory factory, const std::string& name);
    // Registers a kind T that has a constructor T(const std::string&, VQByteStream&, const
    // VQConstantPool&).
    template <class T>
    static void registerAttributeClass(const std::string& name) {
        registerAttributeClass(
            [](const std::string& n, VQByteStream& s, const VQConstantPool& p)
                -> std::shared_ptr<const VQJavaAttribute> { return std::make_shared<T>(n, s, p); },
            name);
    }

    // Decodes one attribute with the registered kind for its name, or VQJavaUnknownAttribute.
    static std::shared_ptr<const VQJavaAttribute> attributeWithName(const std::string& name,
                                                                    VQByteStream& stream,
                                                                    const VQConstantPool& pool);
};

class VQJavaUnknownAttribute : public VQJavaAttribute {
public:
    VQJavaUnknownAttribute(const std::string& name, VQByteStream& stream,
                           const VQConstantPool& pool);
    const std::string& typeName() const override { return _typeName; }
    const char* kindName() const override { return "VQJavaUnknownAttribute"; }
    // "Attribute <name>"
    std::string description() const;

private:
    std::string _typeName;
};

class VQJavaSourceAttribute : public VQJavaAttribute {
public:
    VQJavaSourceAttribute(const std::string& name, VQByteStream& stream,
                          const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaSourceAttribute"; }
    const std::string& sourceName() const noexcept { return _sourceName; }

private:
    std::string _sourceName;
};

class VQJavaExceptionsAttribute : public VQJavaAttribute {
public:
    VQJavaExceptionsAttribute(const std::string& name, VQByteStream& stream,
                              const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaExceptionsAttribute"; }
    // Dotted names of the declared exception classes, in file order.
    const std::vector<std::string>& exceptionTable() const noexcept { return _exceptionTable; }

private:
    std::vector<std::string> _exceptionTable;
};

class VQJavaConstantAttribute : public VQJavaAttribute {
public:
    // Raises VQInternalInconsistencyException when the index names a non-constant entry.
    VQJavaConstantAttribute(const std::string& name, VQByteStream& stream,
                            const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaConstantAttribute"; }
    const VQConstantValue& value() const noexcept { return _value; }

private:
    VQConstantValue _value;
};

namespace parsing {

// The decoder registered for an attribute name; null when there is none.
VQJavaAttribute::Factory registeredAttributeFactory(const std::string& name);
// Changes whenever a decoder is registered, so that caches of the registry start again.
uint64_t attributeRegistryGeneration() noexcept;

}  // namespace parsing

}  // namespace ornith
