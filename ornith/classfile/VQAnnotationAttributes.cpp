#include "ornith/classfile/VQAnnotationAttributes.h"

#include <algorithm>
#include <cstring>

#include "ornith/base/VQEndian.h"
#include "ornith/base/VQText.h"
#include "ornith/classfile/VQAttributeReading.h"
#include "ornith/classfile/VQParseContext.h"

namespace ornith {

namespace {

const std::string kVisible = "RuntimeVisibleAnnotations";
const std::string kInvisible = "RuntimeInvisibleAnnotations";
const std::string kVisibleParameters = "RuntimeVisibleParameterAnnotations";
const std::string kInvisibleParameters = "RuntimeInvisibleParameterAnnotations";
const std::string kAnnotationDefault = "AnnotationDefault";

// The fewest bytes that each kind of record can take, for checking a count against the
// bytes left before reserving room for it.
constexpr size_t kMinElementValue = 3;  // tag and one index
constexpr size_t kMinPair = 2 + kMinElementValue;
constexpr size_t kMinAnnotation = 4;  // type index and pair count

// Room for a list of `count` records, each already checked to fit in the bytes left. Only
// the outermost lists get all of it at once: a nested list reserving its whole count too
// would let every level of nesting claim the rest of the attribute again.
template <class T>
void reserveFor(std::vector<T>& list, size_t count, int depth) {
    list.reserve(depth == 0 ? count : std::min<size_t>(count, 4));
}

// Reads element values and annotations from one attribute; any fault clears ok.
struct Reader {
    VQByteCursor in;
    const VQConstantPool& pool;
    bool ok = true;

    bool fail() { return ok = false; }

    bool text(std::string& out) {
        uint16_t index = 0;
        if (!in.be16(index) || !VQPoolReader(pool).textInto(index, out)) return fail();
        return true;
    }

    const uint8_t* constant(int tag, uint32_t length) {
        uint16_t index = 0;
        if (!in.be16(index)) return fail(), nullptr;
        const VQPoolResult<const uint8_t*> body = VQPoolReader(pool).entry(index, tag, length);
        if (!body) return fail(), nullptr;
        return *body;
    }

    bool elementValue(VQElementValue& out, int depth) {
        uint8_t tag = 0;
        if (!in.u8(tag)) return fail();
        const char t = static_cast<char>(tag);
        switch (t) {
            case 'B':
            case 'C':
            case 'I':
            case 'S':
            case 'Z': {
                const uint8_t* body = constant(kVQConstantInteger, 4);
                if (!body) return false;
                out = VQElementValue(t, static_cast<int32_t>(VQLoadBE32(body)));
                return true;
            }
            case 'J': {
                const uint8_t* body = constant(kVQConstantLong, 8);
                if (!body) return false;
                out = VQElementValue(t, static_cast<int64_t>(VQLoadBE64(body)));
                return true;
            }
            case 'F': {
                const uint8_t* body = constant(kVQConstantFloat, 4);
                if (!body) return false;
                const uint32_t bits = VQLoadBE32(body);
                float value;
                std::memcpy(&value, &bits, sizeof value);
                out = VQElementValue(t, value);
                return true;
            }
            case 'D': {
                const uint8_t* body = constant(kVQConstantDouble, 8);
                if (!body) return false;
                const uint64_t bits = VQLoadBE64(body);
                double value;
                std::memcpy(&value, &bits, sizeof value);
                out = VQElementValue(t, value);
                return true;
            }
            case 's':
            case 'c': {
                std::string value;
                if (!text(value)) return false;
                out = VQElementValue(t, std::move(value));
                return true;
            }
            case 'e': {
                VQEnumConstant value;
                if (!text(value.typeDescriptor) || !text(value.constantName)) return false;
                out = VQElementValue(t, std::move(value));
                return true;
            }
            case '@': {
                if (depth >= kVQMaxElementValueDepth) return fail();
                std::shared_ptr<const VQAnnotation> nested = annotation(depth + 1);
                if (!nested) return false;
                out = VQElementValue(t, std::move(nested));
                return true;
            }
            case '[': {
                if (depth >= kVQMaxElementValueDepth) return fail();
                uint16_t count = 0;
                if (!in.be16(count) || size_t{count} * kMinElementValue > in.remaining())
                    return fail();
                std::vector<VQElementValue> values;
                reserveFor(values, count, depth);
                for (uint32_t i = 0; i < count; ++i)
                    if (!elementValue(values.emplace_back(), depth + 1)) return false;
                out = VQElementValue(t, std::move(values));
                return true;
            }
            default:
                return fail();
        }
    }

    std::shared_ptr<const VQAnnotation> annotation(int depth) {
        std::string type;
        uint16_t count = 0;
        if (!text(type) || !in.be16(count) || size_t{count} * kMinPair > in.remaining()) {
            fail();
            return nullptr;
        }
        std::vector<VQAnnotation::Element> elements;
        reserveFor(elements, count, depth);
        for (uint32_t i = 0; i < count; ++i) {
            auto& [name, value] = elements.emplace_back();
            if (!text(name) || !elementValue(value, depth)) return nullptr;
        }
        return std::make_shared<const VQAnnotation>(std::move(type), std::move(elements));
    }

    // A u2 count and that many annotations, appended to the list.
    bool annotations(VQAnnotationList& list) {
        uint16_t count = 0;
        if (!in.be16(count) || size_t{count} * kMinAnnotation > in.remaining()) return fail();
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            std::string type;
            uint16_t pairs = 0;
            if (!text(type) || !in.be16(pairs) || size_t{pairs} * kMinPair > in.remaining())
                return fail();
            std::vector<VQAnnotation::Element> elements;
            reserveFor(elements, pairs, 0);
            for (uint32_t k = 0; k < pairs; ++k) {
                auto& [name, value] = elements.emplace_back();
                if (!text(name) || !elementValue(value, 0)) return false;
            }
            list.emplace_back(std::move(type), std::move(elements));
        }
        return true;
    }

    // Every byte of the attribute must have been read.
    bool finished() { return ok && in.atEnd() ? true : fail(); }
};

// Java text of a field descriptor: int, java.lang.String[]; the descriptor itself when
// it is not one.
std::string descriptorText(std::string_view descriptor) {
    size_t dimensions = 0;
    while (dimensions < descriptor.size() && descriptor[dimensions] == '[') ++dimensions;
    std::string_view base = descriptor.substr(dimensions);
    std::string out;
    if (base.size() >= 2 && base.front() == 'L' && base.back() == ';') {
        out.assign(base.substr(1, base.size() - 2));
        std::replace(out.begin(), out.end(), '/', '.');
    } else if (base.size() == 1) {
        switch (base[0]) {
            case 'B':
                out = "byte";
                break;
            case 'C':
                out = "char";
                break;
            case 'D':
                out = "double";
                break;
            case 'F':
                out = "float";
                break;
            case 'I':
                out = "int";
                break;
            case 'J':
                out = "long";
                break;
            case 'S':
                out = "short";
                break;
            case 'Z':
                out = "boolean";
                break;
            case 'V':
                out = "void";
                break;
            default:
                return std::string(descriptor);
        }
    } else {
        return std::string(descriptor);
    }
    for (size_t i = 0; i < dimensions; ++i) out.append("[]");
    return out;
}

// Java's quoted form of a string or char constant.
void appendQuoted(std::string& out, std::string_view text, char quote) {
    out.push_back(quote);
    for (const char c : text) {
        switch (c) {
            case '\b':
                out.append("\\b");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\\':
                out.append("\\\\");
                break;
            default:
                if (c == quote) {
                    out.push_back('\\');
                    out.push_back(c);
                } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    static const char hex[] = "0123456789abcdef";
                    const auto u = static_cast<unsigned char>(c);
                    out.append("\\u00");
                    out.push_back(hex[u >> 4]);
                    out.push_back(hex[u & 15]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back(quote);
}

void appendAnnotation(std::string& out, const VQAnnotation& annotation);

void appendValue(std::string& out, const VQElementValue& value) {
    const char tag = value.tag();
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, int32_t>) {
                if (tag == 'Z') {
                    out.append(v ? "true" : "false");
                } else if (tag == 'C') {
                    std::string c;
                    VQAppendUTF8(c, static_cast<uint32_t>(v) & 0xFFFF);
                    appendQuoted(out, c, '\'');
                } else {
                    out.append(std::to_string(v));
                }
            } else if constexpr (std::is_same_v<T, int64_t>) {
                out.append(std::to_string(v)).push_back('L');
            } else if constexpr (std::is_same_v<T, float>) {
                out.append(VQJavaFloatText(v)).push_back('f');
            } else if constexpr (std::is_same_v<T, double>) {
                out.append(VQJavaDoubleText(v));
            } else if constexpr (std::is_same_v<T, std::string>) {
                if (tag == 'c')
                    out.append(descriptorText(v)).append(".class");
                else
                    appendQuoted(out, v, '"');
            } else if constexpr (std::is_same_v<T, VQEnumConstant>) {
                out.append(descriptorText(v.typeDescriptor)).push_back('.');
                out.append(v.constantName);
            } else if constexpr (std::is_same_v<T, std::shared_ptr<const VQAnnotation>>) {
                if (v) appendAnnotation(out, *v);
            } else {
                out.push_back('{');
                for (size_t i = 0; i < v.size(); ++i) {
                    if (i) out.append(", ");
                    appendValue(out, v[i]);
                }
                out.push_back('}');
            }
        },
        value.value());
}

void appendAnnotation(std::string& out, const VQAnnotation& annotation) {
    out.push_back('@');
    out.append(annotation.typeName());
    if (annotation.elements().empty()) return;
    out.push_back('(');
    for (size_t i = 0; i < annotation.elements().size(); ++i) {
        if (i) out.append(", ");
        const auto& [name, value] = annotation.elements()[i];
        out.append(name).push_back('=');
        appendValue(out, value);
    }
    out.push_back(')');
}

}  // namespace

bool VQElementValue::isConstant() const noexcept {
    return _tag != 0 && std::string_view("BCDFIJSZs").find(_tag) != std::string_view::npos;
}

const VQAnnotation* VQElementValue::annotation() const noexcept {
    const auto* nested = std::get_if<std::shared_ptr<const VQAnnotation>>(&_value);
    return nested ? nested->get() : nullptr;
}

std::string VQAnnotation::typeName() const {
    return descriptorText(_typeDescriptor);
}

const VQElementValue* VQAnnotation::elementWithName(std::string_view name) const noexcept {
    for (const auto& [elementName, value] : _elements)
        if (elementName == name) return &value;
    return nullptr;
}

VQJavaAnnotationsAttribute::VQJavaAnnotationsAttribute(const std::string& name,
                                                       VQByteStream& stream,
                                                       const VQConstantPool& pool)
    : _visible(name == kVisible) {
    Reader reader{parsing::attributeCursor(stream), pool};
    if (!reader.annotations(_annotations) || !reader.finished()) {
        _malformed = true;
        _annotations = {};
    }
}

namespace {

// The type descriptors of an attribute that holds only annotations without elements;
// false for any other attribute (or one that does not hold).
bool markerTypes(VQByteCursor in, const VQConstantPool& pool,
                 std::vector<std::string_view>& types) {
    types.clear();
    uint16_t count = 0;
    if (!in.be16(count) || in.remaining() != size_t{count} * 4) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t type = 0, pairs = 0;
        in.be16(type), in.be16(pairs);
        const VQPoolResult<VQPoolText> text = VQPoolReader(pool).text(type);
        if (pairs != 0 || !text || !text->plain()) return false;
        types.push_back(text->bytes);
    }
    return true;
}

bool sameMarkers(const VQJavaAnnotationsAttribute& attribute,
                 const std::vector<std::string_view>& types) {
    const VQAnnotationList& list = attribute.annotations();
    if (list.size() != types.size()) return false;
    for (size_t i = 0; i < types.size(); ++i)
        if (list[i].typeDescriptor() != types[i]) return false;
    return true;
}

}  // namespace

std::shared_ptr<const VQJavaAttribute> VQJavaAnnotationsAttribute::attributeWithData(
    const std::string& name, VQByteStream& stream, const VQConstantPool& pool) {
    // Lists of marker annotations repeat from member to member and from class to class
    // (@Override, @Deprecated): the parse's context remembers the last few of each kind,
    // so that a repeated one is shared instead of made again.
    constexpr size_t kRemembered = 8;
    struct Remembered {
        std::shared_ptr<const VQJavaAnnotationsAttribute> attributes[kRemembered];
        size_t next = 0;
    };
    struct Scratch {
        Remembered remembered[2];  // invisible, visible
        std::vector<std::string_view> types;
    };
    Scratch local;
    Scratch& scratch = parsing::scratchFor(pool, local);
    std::vector<std::string_view>& types = scratch.types;

    const bool markers = markerTypes(parsing::attributeCursor(stream), pool, types);
    Remembered& mine = scratch.remembered[name == kVisible ? 1 : 0];
    if (markers)
        for (const auto& attribute : mine.attributes)
            if (attribute && sameMarkers(*attribute, types)) return attribute;
    auto made = std::make_shared<const VQJavaAnnotationsAttribute>(name, stream, pool);
    if (markers && !made->isMalformed()) {
        mine.attributes[mine.next] = made;
        mine.next = (mine.next + 1) % kRemembered;
    }
    return made;
}

const std::string& VQJavaAnnotationsAttribute::typeName() const {
    return _visible ? kVisible : kInvisible;
}

VQJavaParameterAnnotationsAttribute::VQJavaParameterAnnotationsAttribute(const std::string& name,
                                                                         VQByteStream& stream,
                                                                         const VQConstantPool& pool)
    : _visible(name == kVisibleParameters) {
    Reader reader{parsing::attributeCursor(stream), pool};
    uint8_t count = 0;
    // Each parameter's list takes at least its two-byte count.
    if (reader.in.u8(count) && size_t{count} * 2 <= reader.in.remaining()) {
        _parameters.resize(count);
        for (auto& list : _parameters)
            if (!reader.annotations(list)) break;
    } else {
        reader.fail();
    }
    if (!reader.finished()) {
        _malformed = true;
        _parameters = {};
    }
}

const std::string& VQJavaParameterAnnotationsAttribute::typeName() const {
    return _visible ? kVisibleParameters : kInvisibleParameters;
}

VQJavaAnnotationDefaultAttribute::VQJavaAnnotationDefaultAttribute(const std::string&,
                                                                   VQByteStream& stream,
                                                                   const VQConstantPool& pool) {
    Reader reader{parsing::attributeCursor(stream), pool};
    if (!reader.elementValue(_value, 0) || !reader.finished()) {
        _malformed = true;
        _value = {};
    }
}

const std::string& VQJavaAnnotationDefaultAttribute::typeName() const {
    return kAnnotationDefault;
}

std::string VQElementValueText(const VQElementValue& value) {
    std::string out;
    appendValue(out, value);
    return out;
}

std::string VQAnnotationText(const VQAnnotation& annotation) {
    std::string out;
    appendAnnotation(out, annotation);
    return out;
}

}  // namespace ornith
