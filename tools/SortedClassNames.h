#pragma once
// Every class name below a package, sorted by bytes, kept compactly: a listing of a long
// class path holds tens of thousands of names, and a std::string each (with the vector
// of them) took more memory than everything else a `describe --all` holds. Names are kept
// as a package prefix, stored once per package, and the bare name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornith::tool {

class SortedClassNames {
public:
    SortedClassNames() = default;

    // Adds a fully qualified dotted name. Names of one package usually come together (a
    // package walk yields them so); the prefix is stored again only when it changes.
    void add(std::string_view qualifiedName);
    // Sorts the names by the bytes of the fully qualified name, as std::sort would sort
    // the strings themselves, and gives back the room the adding grew beyond.
    void sort();

    size_t size() const noexcept { return _names.size(); }
    bool empty() const noexcept { return _names.empty(); }
    // The fully qualified name at the index, made in a buffer that the next call reuses.
    const std::string& operator[](size_t index);
    // The same in a string of its own: safe on several threads at once.
    std::string nameAt(size_t index) const;

    // Byte order of prefix1 + rest1 against prefix2 + rest2 (negative, zero, positive),
    // without joining them.
    static int compareJoined(std::string_view prefix1, std::string_view rest1,
                             std::string_view prefix2, std::string_view rest2) noexcept;

private:
    struct Name {
        uint32_t prefix;  // index into _prefixes
        uint32_t offset;  // of the bare name in _text
        uint32_t length;
    };
    struct Prefix {
        uint32_t offset;  // in _text; the dot after the package is included
        uint32_t length;
    };
    std::string_view prefixOf(const Name& name) const noexcept {
        const Prefix& p = _prefixes[name.prefix];
        return std::string_view(_text).substr(p.offset, p.length);
    }
    std::string_view bareOf(const Name& name) const noexcept {
        return std::string_view(_text).substr(name.offset, name.length);
    }
    uint32_t offsetFor(size_t length);

    std::string _text;
    std::vector<Prefix> _prefixes;
    std::vector<Name> _names;
    std::string _joined;
};

}  // namespace ornith::tool
