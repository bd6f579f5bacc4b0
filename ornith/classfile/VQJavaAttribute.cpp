#include "ornith/classfile/VQJavaAttribute.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

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

// Lays out a decimal the way Java does: `digits` (no leading or trailing zeros, at least
// one) times ten to the power `exponent`, read as d.ddd. Plain notation from 10^-3 up to
// below 10^7, computerized scientific notation otherwise; always a digit after the point.
std::string javaLayout(bool negative, std::string_view digits, int exponent) {
    std::string out;
    if (negative) out.push_back('-');
    if (exponent >= 0 && exponent < 7) {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out.append(digits);
            out.append(whole - digits.size(), '0');
            out.append(".0");
        } else {
            out.append(digits.substr(0, whole));
            out.push_back('.');
            out.append(digits.substr(whole));
        }
    } else if (exponent < 0 && exponent >= -3) {
        out.append("0.");
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out.append(digits);
    } else {
        out.push_back(digits[0]);
        out.push_back('.');
        if (digits.size() > 1)
            out.append(digits.substr(1));
        else
            out.push_back('0');
        out.push_back('E');
        out.append(std::to_string(exponent));
    }
    return out;
}

// Splits to_chars scientific output ("d.ddde+XX") into significant digits and exponent,
// dropping trailing zeros of the digits.
void splitScientific(const char* begin, const char* end, std::string& digits, int& exponent) {
    const char* e =
        static_cast<const char*>(std::memchr(begin, 'e', static_cast<size_t>(end - begin)));
    digits.clear();
    for (const char* p = begin; p < e; ++p)
        if (*p != '.') digits.push_back(*p);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    exponent = 0;
    const char* p = e + 1;
    if (*p == '+') ++p;
    std::from_chars(p, end, exponent);
}

// Java picks the shortest decimal that reads back as the value, except that where one
// digit would do it takes the closest decimal of two digits (4.9E-324 rather than 5.0E-324).
template <class F>
std::string javaText(F value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    const bool negative = std::signbit(value);
    if (value == 0) return negative ? "-0.0" : "0.0";
    const F magnitude = negative ? -value : value;

    char buffer[64];
    auto shortest =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    std::string digits;
    int exponent;
    splitScientific(buffer, shortest.ptr, digits, exponent);
    if (digits.size() == 1) {
        auto two = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                 std::chars_format::scientific, 1);
        splitScientific(buffer, two.ptr, digits, exponent);
    }
    return javaLayout(negative, digits, exponent);
}

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
        {"Signature", &make<VQJavaSignatureAttribute>},
        {"Module", &make<VQJavaModuleAttribute>},
        {"ModulePackages", &make<VQJavaModulePackagesAttribute>},
        {"ModuleMainClass", &make<VQJavaModuleMainClassAttribute>},
        // Nesting, records, sealed classes, parameters and annotations.
        {"InnerClasses", &make<VQJavaInnerClassesAttribute>},
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

// Bumped whenever the registry changes, so that the per-thread name caches below start
// again from the registry as it now is.
std::atomic<uint64_t> registryGeneration{0};

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept {
        return std::hash<std::string_view>{}(name);
    }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};

// What decodes the attributes of one name: the registered factory, or (when none is
// registered) the one unknown-attribute object that stands for all of them.
struct NameDecoder {
    VQJavaAttribute::Factory factory = nullptr;
    std::shared_ptr<const VQJavaAttribute> unknown;
};

// Per thread, since parses may run on several threads at once. Bounded, so that a stream
// of hostile class files with ever new attribute names cannot make it grow without end;
// names beyond the bound are decoded the plain way.
struct NameCache {
    using Map = std::unordered_map<std::string, NameDecoder, NameHash, NameEqual>;
    uint64_t generation = 0;
    Map decoders;
    // The entry found last: attributes of one name come in runs (a Code attribute on
    // every method), and comparing with it is cheaper than hashing. Entries of an
    // unordered_map keep their address until they are erased.
    Map::value_type* last = nullptr;
};
constexpr size_t kMaxCachedNames = 256;
constexpr size_t kMaxCachedNameLength = 128;
thread_local NameCache nameCache;

const std::string kSourceFile = "SourceFile";
const std::string kExceptions = "Exceptions";
const std::string kConstantValue = "ConstantValue";

uint32_t loadU4(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

std::string VQJavaFloatText(float value) {
    return javaText(value);
}
std::string VQJavaDoubleText(double value) {
    return javaText(value);
}

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
    throw VQInvalidArgumentException(VQFormat("typeName is not implemented by %s", kindName()));
}

void VQJavaAttribute::registerAttributeClass(Factory factory, const std::string& name) {
    registry()[name] = factory;
    registryGeneration.fetch_add(1, std::memory_order_relaxed);
}

std::shared_ptr<const VQJavaAttribute> VQJavaAttribute::attributeWithName(
    const std::string& name, VQByteStream& stream, const VQConstantPool& pool) {
    const Registry& rows = registry();
    auto it = rows.find(name);
    if (it == rows.end()) return std::make_shared<VQJavaUnknownAttribute>(name, stream, pool);
    return it->second(name, stream, pool);
}

std::shared_ptr<const VQJavaAttribute> parsing::attributeAtNameIndex(const VQConstantPool& pool,
                                                                     int32_t nameIndex,
                                                                     VQByteStream& info,
                                                                     AttributeNameMemo* memo) {
    NameCache& cache = nameCache;
    const uint64_t generation = registryGeneration.load(std::memory_order_relaxed);
    if (cache.generation != generation) {
        cache.last = nullptr;
        cache.decoders.clear();
        cache.generation = generation;
    }
    NameCache::Map::value_type* found = nullptr;
    const uint32_t slot = static_cast<uint32_t>(nameIndex) % AttributeNameMemo::kSlots;
    if (memo) {
        // The memo's decoders point into the cache, which is emptied only when the
        // registry changes; a memo from before that starts again.
        if (memo->generation != generation) *memo = AttributeNameMemo{.generation = generation};
        if (memo->index[slot] == nameIndex)
            found =
                static_cast<NameCache::Map::value_type*>(const_cast<void*>(memo->decoder[slot]));
    }

    if (!found) {
        std::string decoded;
        std::string_view name;
        if (auto plain = VQPlainTextAtIndex(pool, nameIndex)) {
            name = *plain;
        } else {
            decoded = VQStringValueAtIndex(pool, nameIndex);  // raises for a bad index
            name = decoded;
        }
        found = cache.last;
        if (!found || found->first != name) {
            auto at = cache.decoders.find(name);
            if (at == cache.decoders.end()) {
                if (cache.decoders.size() >= kMaxCachedNames || name.size() > kMaxCachedNameLength)
                    return VQJavaAttribute::attributeWithName(std::string(name), info, pool);
                std::string key(name);
                NameDecoder decoder;
                const Registry& rows = registry();
                if (auto row = rows.find(key); row != rows.end())
                    decoder.factory = row->second;
                else
                    decoder.unknown =
                        std::make_shared<const VQJavaUnknownAttribute>(key, info, pool);
                at = cache.decoders.emplace(std::move(key), std::move(decoder)).first;
            }
            found = &*at;
            cache.last = found;
        }
        if (memo) {
            memo->index[slot] = nameIndex;
            memo->decoder[slot] = found;
        }
    }
    if (found->second.factory) {
        // A copy of the name: a decoder may parse further class files on this thread,
        // which may change the cache under a reference into it.
        const VQJavaAttribute::Factory factory = found->second.factory;
        return factory(std::string(found->first), info, pool);
    }
    return found->second.unknown;
}

VQJavaUnknownAttribute::VQJavaUnknownAttribute(const std::string& name, VQByteStream&,
                                               const VQConstantPool&)
    : _typeName(name) {}

std::string VQJavaUnknownAttribute::description() const {
    return "Attribute " + _typeName;
}

VQJavaSourceAttribute::VQJavaSourceAttribute(const std::string&, VQByteStream& stream,
                                             const VQConstantPool& pool)
    : _sourceName(VQStringValueAtIndex(pool, VQReadU2(stream))) {}

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
    for (uint32_t i = 0; i < count; ++i)
        _exceptionTable.push_back(VQClassNameAtIndex(pool, VQReadU2(stream)));
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
    const int32_t index = VQReadU2(stream);
    const int tag = VQTagAtIndex(pool, index);
    switch (tag) {
        case kVQConstantInteger:
            return VQConstantValue(
                static_cast<int32_t>(loadU4(VQEntryAtIndex(pool, index, tag, 4))));
        case kVQConstantFloat: {
            const uint32_t bits = loadU4(VQEntryAtIndex(pool, index, tag, 4));
            float f;
            std::memcpy(&f, &bits, 4);
            return VQConstantValue(f);
        }
        case kVQConstantLong:
        case kVQConstantDouble: {
            const uint8_t* body = VQEntryAtIndex(pool, index, tag, 8);
            const uint64_t bits = (uint64_t{loadU4(body)} << 32) | loadU4(body + 4);
            if (tag == kVQConstantLong) return VQConstantValue(static_cast<int64_t>(bits));
            double d;
            std::memcpy(&d, &bits, 8);
            return VQConstantValue(d);
        }
        case kVQConstantString: {
            const uint8_t* body = VQEntryAtIndex(pool, index, tag, 2);
            return VQConstantValue(VQStringValueAtIndex(pool, (int32_t{body[0]} << 8) | body[1]));
        }
        default:
            throw VQInternalInconsistencyException(
                VQFormat("ConstantValue attribute for something that's not a constant value (type "
                         "= %d) at index %d in the "
                         "constant pool.",
                         tag, index));
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
