#include "ornith/classfile/VQSignatureAttribute.h"

#include <cstring>

#include "ornith/classfile/VQAttributeReading.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQSharedWithTail.h"

namespace ornith {

namespace {
const std::string kSignature = "Signature";
}

VQJavaSignatureAttribute::VQJavaSignatureAttribute(const std::string&, VQByteStream& stream,
                                                   const VQConstantPool& pool) {
    if (VQBytesLeft(stream) < 2) parsing::throwTruncated();
    _owned = VQStringValueAtIndex(pool, VQReadU2(stream));
    _signature = _owned;
}

VQJavaSignatureAttribute::VQJavaSignatureAttribute(const VQTailRequest& block,
                                                   std::string_view text) {
    if (!text.empty()) std::memcpy(block.tail, text.data(), text.size());
    _signature = std::string_view(reinterpret_cast<const char*>(block.tail), text.size());
}

std::shared_ptr<const VQJavaAttribute> VQJavaSignatureAttribute::attributeWithData(
    const std::string&, VQByteStream& stream, const VQConstantPool& pool) {
    if (VQBytesLeft(stream) < 2) parsing::throwTruncated();
    const auto index = static_cast<int32_t>(VQReadU2(stream));
    // Plain ASCII is its own text; anything else is decoded (and refused) as the public
    // constructor does it.
    std::optional<std::string_view> text = VQPlainTextAtIndex(pool, index);
    std::string decoded;
    if (!text) {
        decoded = VQStringValueAtIndex(pool, index);
        text = decoded;
    }
    return VQMakeSharedWithTail<const VQJavaSignatureAttribute>(text->size(), *text);
}

const std::string& VQJavaSignatureAttribute::typeName() const {
    return kSignature;
}

}  // namespace ornith
