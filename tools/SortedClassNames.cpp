#include "SortedClassNames.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace ornith::tool {

uint32_t SortedClassNames::offsetFor(size_t length) {
    // Offsets are 32 bits to keep a name at twelve bytes beside its text; no class path
    // names 4 GiB of classes, but a hostile one must not wrap them.
    if (length > std::numeric_limits<uint32_t>::max() - _text.size())
        throw std::length_error("too many class names");
    return static_cast<uint32_t>(_text.size());
}

void SortedClassNames::add(std::string_view qualifiedName) {
    const size_t dot = qualifiedName.rfind('.');
    const std::string_view prefix =
        dot == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, dot + 1);
    const std::string_view bare = qualifiedName.substr(prefix.size());
    if (_prefixes.empty() || std::string_view(_text).substr(_prefixes.back().offset,
                                                            _prefixes.back().length) != prefix) {
        const uint32_t at = offsetFor(prefix.size());
        _text.append(prefix);
        _prefixes.push_back({at, static_cast<uint32_t>(prefix.size())});
    }
    const uint32_t at = offsetFor(bare.size());
    _text.append(bare);
    _names.push_back(
        {static_cast<uint32_t>(_prefixes.size() - 1), at, static_cast<uint32_t>(bare.size())});
}

int SortedClassNames::compareJoined(std::string_view prefix1, std::string_view rest1,
                                    std::string_view prefix2, std::string_view rest2) noexcept {
    std::string_view a = prefix1, b = prefix2;
    for (;;) {
        // Each side moves on to its second piece when its first is used up.
        if (a.empty() && !rest1.empty()) a = std::exchange(rest1, std::string_view());
        if (b.empty() && !rest2.empty()) b = std::exchange(rest2, std::string_view());
        if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
        const size_t n = std::min(a.size(), b.size());
        if (const int c = std::memcmp(a.data(), b.data(), n)) return c;
        a.remove_prefix(n);
        b.remove_prefix(n);
    }
}

void SortedClassNames::sort() {
    std::sort(_names.begin(), _names.end(), [this](const Name& x, const Name& y) {
        if (x.prefix == y.prefix) return bareOf(x) < bareOf(y);
        return compareJoined(prefixOf(x), bareOf(x), prefixOf(y), bareOf(y)) < 0;
    });
    _text.shrink_to_fit();
    _prefixes.shrink_to_fit();
    _names.shrink_to_fit();
}

const std::string& SortedClassNames::operator[](size_t index) {
    const Name& name = _names[index];
    _joined.assign(prefixOf(name));
    _joined.append(bareOf(name));
    return _joined;
}

std::string SortedClassNames::nameAt(size_t index) const {
    const Name& name = _names[index];
    std::string joined(prefixOf(name));
    joined.append(bareOf(name));
    return joined;
}

}  // namespace ornith::tool
