#pragma once
// The Record attribute: a record class's components in declaration order, each with its
// name, descriptor, generic signature (as the text of its Signature attribute) and its own
// attributes, decoded through the attribute registry as a member's are.
//
// A malformed attribute decodes as empty and answers isMalformed(); the class's parse
// goes on. A component attribute whose registered decoder raises makes the whole Record
// attribute malformed.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

class VQRecordComponent {
public:
    VQRecordComponent(std::string name, std::string descriptor,
                      std::optional<std::string> genericSignature,
                      std::optional<VQAttributeList> attributes)
        : _name(std::move(name)),
          _descriptor(std::move(descriptor)),
          _genericSignature(std::move(genericSignature)),
          _attributes(std::move(attributes)) {}

    const std::string& name() const noexcept { return _name; }
    // The field descriptor: I, Ljava/lang/String;
    const std::string& descriptor() const noexcept { return _descriptor; }
    // The text of the component's Signature attribute; absent when it has none.
    const std::optional<std::string>& genericSignature() const noexcept {
        return _genericSignature;
    }
    // File order; absent when the component has no attributes.
    const std::optional<VQAttributeList>& attributes() const noexcept { return _attributes; }
    // The first attribute of the name; null when there is none.
    const VQJavaAttribute* attributeWithName(std::string_view name) const;

private:
    std::string _name;
    std::string _descriptor;
    std::optional<std::string> _genericSignature;
    std::optional<VQAttributeList> _attributes;
};

class VQJavaRecordAttribute : public VQJavaAttribute {
public:
    VQJavaRecordAttribute(const std::string& name, VQByteStream& stream,
                          const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaRecordAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    const std::vector<VQRecordComponent>& components() const noexcept { return _components; }

private:
    std::vector<VQRecordComponent> _components;
    bool _malformed = false;
};

}  // namespace ornith
