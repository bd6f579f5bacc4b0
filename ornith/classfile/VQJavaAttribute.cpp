#include "ornith/classfile/VQJavaAttribute.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_map>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQMemberAttributes.h"
#include "ornith/classfile/VQModuleAttributes.h"
#include "ornith/classfile/VQNestingAttributes.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/classfile/VQRecordAttribute.h"
#include "ornith/classfile/VQSignatureAttribute.h"

namespace ornith {

namespace {

using Registry = std::unordered_map<std::string, VQJavaAttribute::Factory>;

template <class T>
std::shared_ptr<const VQJavaAttribute> make(const std::string& name, VQByteStream& stream,
                                            const VQConstantPool& pool) {
    return std::make_shared<T>(name, stream, pool);
}

Registry& registry() {
    static Registry rows{
        {"SourceFile", &make<VQJavaSourceAttribute>},
        {"ConstantValue", &make<VQJavaConstantAttribute>},
        {"Exceptions", &make<VQJavaExceptionsAttribute>},
        {"Signature", &VQJavaSignatureAttribute::attributeWithData},
        {"Module", &make<VQJavaModuleAttribute>},
        {"ModulePackages", &make<VQJavaModulePackagesAttribute>},
        {"ModuleMainClass", &make<VQJavaModuleMainClassAttribute>},
        // Nesting, records, sealed classes, parameters and annotations.
        {"InnerClasses", &VQJavaInnerClassesAttribute::attributeWithData},
        {"EnclosingMethod", &make<VQJavaEnclosingMethodAttribute>},
        {"NestHost", &VQJavaNestHostAttribute::attributeWithData},
        {"NestMembers", &make<VQJavaClassListAttribute>},
        {"PermittedSubclasses", &make<VQJavaClassListAttribute>},
        {"Record", &make<VQJavaRecordAttribute>},
        {"MethodParameters", &make<VQJavaMethodParametersAttribute>},
        {"RuntimeVisibleAnnotations", &VQJavaAnnotationsAttribute::attributeWithData},
        {"RuntimeInvisibleAnnotations", &VQJavaAnnotationsAttribute::attributeWithData},
        {"RuntimeVisibleParameterAnnotations", &make<VQJavaParameterAnnotationsAttribute>},
        {"RuntimeInvisibleParameterAnnotations", &make<VQJavaParameterAnnotationsAttribute>},
        {"AnnotationDefault", &make<VQJavaAnnotationDefaultAttribute>},
        {"Deprecated", &VQJavaMarkerAttribute::markerWithName},
        {"Synthetic", &VQJavaMarkerAttribute::markerWithName},
    };
    return rows;
}

// Bumped whenever the registry changes, so that the name caches of parse contexts start again
// from the registry as it now is.
std::atomic<uint64_t> registryGeneration{0};

const std::string kSourceFile = "SourceFile";
const std::string kExceptions = "Exceptions";
const std::string kConstantValue = "ConstantValue";

// Where in the class file the stream's next byte stands, for a failure raised about what
// is read from there.
uint32_t offsetAt(const VQPoolReader& reader, const VQByteStream& stream) {
    return reader.offsetOf(stream.bytes + std::min(stream.position, stream.length));
}

}  // namespace

std::string VQConstantValue::description() const {
    struct Text {
        std::string operator()(int32_t v) const { return std::to_string(v); }
        std::string operator()(int64_t v) const { return std::to_string(v); }
        std::string operator()(float v) const { return VQJavaFloatText(v); }
        std::string operator()(double v) const { return VQJavaDoubleText(v); }
        std::string operator()(const std::string& v) const { return v; }
    };
    return std::visit(Text{}, _value);
}

VQJavaAttribute::~VQJavaAttribute() = default;

const std::string& VQJavaAttribute::typeName() const {
    throw VQInvalidArgumentException(VQFormat("typeName is not implemented by %s", kindName()),
                                     VQErrorKind::notImplemented);
}

void VQJavaAttribute::registerAttributeClass(Factory factory, const std::string& name) {
    registry()[name] = factory;
    registryGeneration.fetch_add(1, std::memory_order_relaxed);
}

VQJavaAttribute::Factory parsing::registeredAttributeFactory(const std::string& name) {
    const Registry& rows = registry();
    auto it = rows.find(name);
    return it == rows.end() ? nullptr : it->second;
}

uint64_t parsing::attributeRegistryGeneration() noexcept {
    return registryGeneration.load(std::memory_order_relaxed);
}

std::shared_ptr<const VQJavaAttribute> VQJavaAttribute::attributeWithName(
    const std::string& name, VQByteStream& stream, const VQConstantPool& pool) {
    const Registry& rows = registry();
    auto it = rows.find(name);
    if (it == rows.end()) return std::make_shared<VQJavaUnknownAttribute>(name, stream, pool);
    return it->second(name, stream, pool);
}

VQJavaUnknownAttribute::VQJavaUnknownAttribute(const std::string& name, VQByteStream&,
                                               const VQConstantPool&)
    : _typeName(name) {}

std::string VQJavaUnknownAttribute::description() const {
    return "Attribute " + _typeName;
}

VQJavaSourceAttribute::VQJavaSourceAttribute(const std::string&, VQByteStream& stream,
                                             const VQConstantPool& pool)
    : _sourceName([&] {
          const VQPoolReader reader(pool);
          const uint32_t at = offsetAt(reader, stream);
          return reader.string(VQReadU2(stream)).orRaiseAt(at);
      }()) {}

const std::string& VQJavaSourceAttribute::typeName() const {
    return kSourceFile;
}

VQJavaExceptionsAttribute::VQJavaExceptionsAttribute(const std::string&, VQByteStream& stream,
                                                     const VQConstantPool& pool) {
    // A count that is missing reads as -1, taken unsigned: the first index is then
    // missing too and fails the lookup, so the loop ends there.
    const uint32_t count = static_cast<uint32_t>(VQReadU2(stream));
    // Each entry takes two bytes: room is made only for the entries that can be there.
    _exceptionTable.reserve(std::min<uint32_t>(count, VQBytesLeft(stream) / 2));
    const VQPoolReader reader(pool);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = offsetAt(reader, stream);
        _exceptionTable.push_back(reader.className(VQReadU2(stream)).orRaiseAt(at));
    }
}

const std::string& VQJavaExceptionsAttribute::typeName() const {
    return kExceptions;
}

namespace {

// g++ 12 with the sanitizers sees the string alternative of the variant as possibly
// uninitialised when a number alternative is moved; it is not.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
VQConstantValue constantAt(VQByteStream& stream, const VQConstantPool& pool) {
    const VQPoolReader reader(pool);
    const uint32_t at = offsetAt(reader, stream);
    const int32_t index = VQReadU2(stream);
    const int tag = reader.tag(index).orRaiseAt(at);
    const auto body = [&](uint32_t length) {
        return reader.entry(index, tag, length).orRaiseAt(at);
    };
    switch (tag) {
        case kVQConstantInteger:
            return VQConstantValue(static_cast<int32_t>(VQLoadBE32(body(4))));
        case kVQConstantFloat: {
            const uint32_t bits = VQLoadBE32(body(4));
            float f;
            std::memcpy(&f, &bits, 4);
            return VQConstantValue(f);
        }
        case kVQConstantLong:
        case kVQConstantDouble: {
            const uint64_t bits = VQLoadBE64(body(8));
            if (tag == kVQConstantLong) return VQConstantValue(static_cast<int64_t>(bits));
            double d;
            std::memcpy(&d, &bits, 8);
            return VQConstantValue(d);
        }
        case kVQConstantString:
            return VQConstantValue(reader.string(VQLoadBE16(body(2))).orRaiseAt(at));
        default:
            throw VQInternalInconsistencyException(
                VQFormat("ConstantValue attribute for something that's not a constant value (type "
                         "= %d) at index %d in the "
                         "constant pool.",
                         tag, index),
                VQErrorKind::badPoolIndex);
    }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace

VQJavaConstantAttribute::VQJavaConstantAttribute(const std::string&, VQByteStream& stream,
                                                 const VQConstantPool& pool)
    : _value(constantAt(stream, pool)) {}

const std::string& VQJavaConstantAttribute::typeName() const {
    return kConstantValue;
}

}  // namespace ornith
