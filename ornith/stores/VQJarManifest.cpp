#include "ornith/stores/VQJarManifest.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace ornith {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The next line of the text from `at`, without its terminator; `at` moves past it.
std::string_view nextLine(std::string_view text, size_t& at) {
    const size_t start = at;
    const size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
        at = text.size();
        return text.substr(start);
    }
    at = stop + 1;
    if (text[stop] == '\r' && at < text.size() && text[at] == '\n') ++at;
    return text.substr(start, stop - start);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%XX" decoded; a "%" that starts no escape stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// An absolute path with "." and ".." segments removed, as URL resolution does: ".." at
// the root stays at the root. A trailing "/" is kept.
std::string withoutDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    size_t start = 1;
    while (start <= path.size()) {
        size_t stop = path.find('/', start);
        if (stop == std::string_view::npos) stop = path.size();
        const std::string_view segment = path.substr(start, stop - start);
        const bool last = stop == path.size();
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            if (last) segments.emplace_back();
        } else if (segment == ".") {
            if (last) segments.emplace_back();
        } else {
            segments.push_back(segment);
        }
        start = stop + 1;
    }
    std::string out;
    for (const auto& segment : segments) out.append("/").append(segment);
    return out.empty() ? "/" : out;
}

}  // namespace

VQJarManifest::VQJarManifest(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t at = 0;
    while (at < text.size()) {
        const std::string_view line = nextLine(text, at);
        if (line.empty()) break;  // the end of the main section
        if (line[0] == ' ') {
            if (!_attributes.empty()) _attributes.back().second.append(line.substr(1));
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            // Not an attribute: its continuation lines must not join the one before.
            _attributes.emplace_back();
            continue;
        }
        std::string_view value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.remove_prefix(1);
        _attributes.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
}

std::optional<std::string> VQJarManifest::mainAttribute(std::string_view name) const {
    for (auto it = _attributes.rbegin(); it != _attributes.rend(); ++it)
        if (!it->first.empty() && equalsIgnoringCase(it->first, name)) return it->second;
    return std::nullopt;
}

bool VQJarManifest::isMultiRelease() const {
    const auto value = mainAttribute("Multi-Release");
    return value && equalsIgnoringCase(*value, "true");
}

std::vector<std::string> VQJarManifest::classPath() const {
    std::vector<std::string> entries;
    const auto value = mainAttribute("Class-Path");
    if (!value) return entries;
    const std::string_view text(*value);
    size_t start = 0;
    while (start < text.size()) {
        size_t stop = text.find(' ', start);
        if (stop == std::string_view::npos) stop = text.size();
        if (stop > start) entries.emplace_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return entries;
}

std::optional<std::string> VQResolveClassPathEntry(std::string_view jarPath,
                                                   std::string_view entry) {
    if (entry.empty() || jarPath.empty()) return std::nullopt;
    // A query or fragment names nothing in a file system.
    entry = entry.substr(0, entry.find_first_of("?#"));
    // A scheme is letters, digits, "+", "-", "." before a ":", starting with a letter.
    const size_t colon = entry.find(':');
    if (colon != std::string_view::npos && colon > 0 &&
        std::isalpha(static_cast<unsigned char>(entry[0])) &&
        std::all_of(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        })) {
        if (!equalsIgnoringCase(entry.substr(0, colon), "file")) return std::nullopt;
        entry.remove_prefix(colon + 1);
        // file://host/path: only the local host.
        if (entry.starts_with("//")) {
            const size_t slash = entry.find('/', 2);
            const std::string_view host = entry.substr(
                2, slash == std::string_view::npos ? std::string_view::npos : slash - 2);
            if (!host.empty() && !equalsIgnoringCase(host, "localhost")) return std::nullopt;
            entry = slash == std::string_view::npos ? std::string_view("/") : entry.substr(slash);
        }
    }
    std::string path = percentDecoded(entry);
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    if (path[0] != '/') {
        // Relative to the jar's directory, which is absolute here as in a URL.
        std::error_code error;
        std::string base = std::filesystem::absolute(std::string(jarPath), error).string();
        if (error) return std::nullopt;
        base.erase(base.rfind('/') + 1);
        path = base + path;
    }
    return withoutDotSegments(path);
}

}  // namespace ornith
