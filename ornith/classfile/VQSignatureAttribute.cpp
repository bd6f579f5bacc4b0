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
    const VQPoolReader reader(pool);
    const uint32_t at = reader.offsetOf(stream.bytes + stream.position);
    if (VQBytesLeft(stream) < 2) parsing::throwTruncated(at, VQErrorKind::malformedAttribute);
    _owned = reader.string(VQReadU2(stream)).orRaiseAt(at);
    _signature = _owned;
}

VQJavaSignatureAttribute::VQJavaSignatureAttribute(const VQTailRequest& block,
                                                   std::string_view text) {
    if (!text.empty()) std::memcpy(block.tail, text.data(), text.size());
    _signature = std::string_view(reinterpret_cast<const char*>(block.tail), text.size());
}

std::shared_ptr<const VQJavaAttribute> VQJavaSignatureAttribute::attributeWithData(
    const std::string&, VQByteStream& stream, const VQConstantPool& pool) {
    const VQPoolReader reader(pool);
    const uint32_t at = reader.offsetOf(stream.bytes + stream.position);
    if (VQBytesLeft(stream) < 2) parsing::throwTruncated(at, VQErrorKind::malformedAttribute);
    // Plain ASCII is its own text; anything else is decoded (and refused) as the public
    // constructor does it.
    std::string decoded;
    const std::string_view text = reader.textView(VQReadU2(stream), decoded).orRaiseAt(at);
    return VQMakeSharedWithTail<const VQJavaSignatureAttribute>(text.size(), text);
}

const std::string& VQJavaSignatureAttribute::typeName() const {
    return kSignature;
}

}  // namespace ornith
