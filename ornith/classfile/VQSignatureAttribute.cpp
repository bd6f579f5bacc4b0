#include "ornith/classfile/VQSignatureAttribute.h"

#include "ornith/classfile/VQClassFileParsing.h"

namespace ornith {

namespace {
const std::string kSignature = "Signature";
}

VQJavaSignatureAttribute::VQJavaSignatureAttribute(const std::string&, VQByteStream& stream,
                                                   const VQConstantPool& pool) {
    if (VQBytesLeft(stream) < 2) parsing::throwTruncated();
    _signature = VQStringValueAtIndex(pool, VQReadU2(stream));
}

const std::string& VQJavaSignatureAttribute::typeName() const {
    return kSignature;
}

}  // namespace ornith
