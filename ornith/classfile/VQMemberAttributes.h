#pragma once
// Attributes of a member that say how it was declared: MethodParameters (the names and
// modifiers of a method's parameters), and the markers Deprecated and Synthetic.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

struct VQMethodParameter {
    // Absent when the class file gives the parameter no name (name_index 0).
    std::optional<std::string> name;
    // final 0x0010, synthetic 0x1000, mandated 0x8000.
    uint32_t accessFlags = 0;
    bool operator==(const VQMethodParameter&) const = default;
};

class VQJavaMethodParametersAttribute : public VQJavaAttribute {
public:
    // A malformed attribute (a count the length does not match, a bad name index)
    // decodes as empty and answers isMalformed(); the class's parse goes on.
    VQJavaMethodParametersAttribute(const std::string& name, VQByteStream& stream,
                                    const VQConstantPool& pool);
    const std::string& typeName() const override;
    const char* kindName() const override { return "VQJavaMethodParametersAttribute"; }
    bool isMalformed() const noexcept { return _malformed; }
    const std::vector<VQMethodParameter>& parameters() const noexcept { return _parameters; }

private:
    std::vector<VQMethodParameter> _parameters;
    bool _malformed = false;
};

// Deprecated and Synthetic carry nothing but their name, so each name has one shared
// object: marking a member costs no allocation.
class VQJavaMarkerAttribute : public VQJavaAttribute {
public:
    explicit VQJavaMarkerAttribute(std::string name) : _typeName(std::move(name)) {}
    const std::string& typeName() const override { return _typeName; }
    const char* kindName() const override { return "VQJavaMarkerAttribute"; }

    // The registry's decoder for both names.
    static std::shared_ptr<const VQJavaAttribute> markerWithName(const std::string& name,
                                                                 VQByteStream& stream,
                                                                 const VQConstantPool& pool);

private:
    std::string _typeName;
};

}  // namespace ornith
