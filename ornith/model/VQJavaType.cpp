#include "ornith/model/VQJavaType.h"

#include <algorithm>

#include "ornith/base/VQText.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/model/VQBaseTypeText.h"

namespace ornith {

namespace {

// The 16-bit code of the character that starts at text[i]. Descriptors are UTF-8 here;
// a character beyond U+FFFF answers its first (high surrogate) unit, as a 16-bit string
// would. An ill-formed sequence answers its first byte.
int32_t characterCodeAt(std::string_view text, size_t i) noexcept {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data()) + i;
    if (*p < 0x80) return *p;
    const VQUTF8Step step = VQDecodeUTF8(p, p + (text.size() - i));
    if (!step.valid) return *p;
    char16_t units[2];
    VQEncodeUTF16(step.value, units);
    return units[0];
}

size_t leadingBrackets(std::string_view text) noexcept {
    size_t n = 0;
    while (n < text.size() && text[n] == '[') ++n;
    return n;
}

}  // namespace

VQJavaType::VQJavaType(std::string_view signature)
    : _ownStorage(std::make_unique<VQClassArena>(signature.size() + VQClassArena::kSmallestChunk)),
      _storage(_ownStorage.get()),
      _signature(_storage->copyText(signature)) {}

std::shared_ptr<VQJavaType> VQJavaType::typeWithSignature(std::string signature) {
    return std::make_shared<VQJavaType>(signature);
}

std::shared_ptr<VQJavaType> VQJavaType::copyWithZone() const {
    return std::make_shared<VQJavaType>(_signature);
}

int32_t VQJavaType::baseType() const noexcept {
    if (_baseType != kUndecodedBaseType) return _baseType;
    const size_t at = leadingBrackets(_signature);
    // An empty or '['-only descriptor stays undecoded and is walked again next time.
    if (at < _signature.size()) _baseType = characterCodeAt(_signature, at);
    return _baseType;
}

uint32_t VQJavaType::dimensionality() const noexcept {
    if (_dimensionality != kUncountedDimensionality) return _dimensionality;
    _dimensionality = static_cast<uint32_t>(
        std::min<size_t>(leadingBrackets(_signature), kUncountedDimensionality - 1));
    return _dimensionality;
}

std::optional<std::string_view> VQJavaType::className() const {
    if (_className) return std::string_view(_className, _classNameLength);
    if (baseType() != 'L') return std::nullopt;
    // The 'L' stands right after the leading '['; the name runs to the next ';' or the end.
    const std::string_view text = _signature;
    const size_t start = leadingBrackets(text) + 1;
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view name = text.substr(start, end - start);
    // A name in the unnamed package is the descriptor's own text; any other is copied
    // once with its separators turned into dots.
    if (name.find('/') != std::string_view::npos) {
        char* dotted = static_cast<char*>(_storage->allocate(name.size(), 1));
        std::replace_copy(name.begin(), name.end(), dotted, '/', '.');
        name = std::string_view(dotted, name.size());
    }
    // An empty name still needs an address that marks it as made.
    _className = name.empty() ? text.data() + start : name.data();
    _classNameLength = static_cast<uint32_t>(name.size());
    return name;
}

std::optional<std::string_view> VQJavaType::_baseTypeDescription() const {
    const int32_t base = baseType();
    if (base == 'L') return className();
    const std::string_view text = VQBaseTypeText(base);
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<std::string> VQJavaType::description() const {
    const std::optional<std::string_view> base = _baseTypeDescription();
    if (!base) return std::nullopt;
    const uint32_t dimensions = dimensionality();
    std::string text;
    text.reserve(base->size() + 2 * size_t{dimensions});
    text.append(*base);
    for (uint32_t i = 0; i < dimensions; ++i) text.append("[]");
    return text;
}

void VQJavaType::appendDeclarationText(std::string_view descriptor, std::string& out) {
    // The answers of a type made from the descriptor, worked out on the spot: the same
    // helpers, so the same text, without a type or a name copy.
    const size_t dimensions = leadingBrackets(descriptor);
    if (dimensions == descriptor.size()) {
        out.append(descriptor);
        return;
    }
    const int32_t base = characterCodeAt(descriptor, dimensions);
    if (base == 'L') {
        const size_t start = dimensions + 1;
        size_t end = descriptor.find(';', start);
        if (end == std::string_view::npos) end = descriptor.size();
        appendDottedName(descriptor.substr(start, end - start), out);
    } else {
        const std::string_view text = VQBaseTypeText(base);
        if (text.empty()) {
            out.append(descriptor);
            return;
        }
        out.append(text);
    }
    for (size_t i = dimensions; i > 0; --i) out.append("[]");
}

void VQJavaType::appendDeclarationText(std::string& out) const {
    const std::optional<std::string_view> base = _baseTypeDescription();
    if (!base) {
        out.append(_signature);
        return;
    }
    out.append(*base);
    for (uint32_t i = dimensionality(); i > 0; --i) out.append("[]");
}

}  // namespace ornith
