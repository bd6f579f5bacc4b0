#include "ornith/classfile/VQMemberAttributes.h"

#include "ornith/classfile/VQAttributeReading.h"

namespace ornith {

namespace {

const std::string kMethodParameters = "MethodParameters";

}  // namespace

VQJavaMethodParametersAttribute::VQJavaMethodParametersAttribute(const std::string&,
                                                                 VQByteStream& stream,
                                                                 const VQConstantPool& pool) {
    VQByteCursor in = parsing::attributeCursor(stream);
    uint8_t count = 0;
    if (!in.u8(count) || in.remaining() != size_t{count} * 4) {
        _malformed = true;
        return;
    }
    _parameters.resize(count);
    for (auto& parameter : _parameters) {
        uint16_t nameIndex = 0, flags = 0;
        in.be16(nameIndex), in.be16(flags);
        parameter.accessFlags = flags;
        if (nameIndex == 0) continue;
        if (!VQPoolReader(pool).textInto(nameIndex, parameter.name.emplace())) {
            _malformed = true;
            _parameters = {};
            return;
        }
    }
}

const std::string& VQJavaMethodParametersAttribute::typeName() const {
    return kMethodParameters;
}

std::shared_ptr<const VQJavaAttribute> VQJavaMarkerAttribute::markerWithName(
    const std::string& name, VQByteStream&, const VQConstantPool&) {
    static const auto deprecated = std::make_shared<const VQJavaMarkerAttribute>("Deprecated");
    static const auto synthetic = std::make_shared<const VQJavaMarkerAttribute>("Synthetic");
    if (name == "Synthetic") return synthetic;
    if (name == "Deprecated") return deprecated;
    // Registered by a host under a name of its own: a marker of that name.
    return std::make_shared<const VQJavaMarkerAttribute>(name);
}

}  // namespace ornith
