#include "ToolInventoryMetadata.h"

#include <algorithm>
#include <unordered_map>

#include "ornith/stores/VQJarManifest.h"

namespace ornith::tool {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// The logical lines of a properties file: physical lines joined where one ends in an odd
// number of backslashes, the continuation's leading blanks dropped. Comment lines are
// left out (a comment is never continued).
std::vector<std::string> logicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    bool continuing = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) stop = text.size();
        std::string_view line = text.substr(start, stop - start);
        start = stop + 1;
        if (stop < text.size() && text[stop] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
        size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        line.remove_prefix(first);
        if (!continuing && (line.empty() || line[0] == '#' || line[0] == '!')) continue;
        size_t backslashes = 0;
        while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\')
            ++backslashes;
        const bool continued = backslashes % 2 == 1;
        if (continued) line.remove_suffix(1);
        current.append(line);
        continuing = continued;
        if (!continuing) {
            lines.push_back(std::move(current));
            current.clear();
        }
    }
    if (continuing) lines.push_back(std::move(current));
    return lines;
}

// Unescapes a key or value of a logical line.
std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out.push_back(c);
            continue;
        }
        c = text[++i];
        switch (c) {
            case 't':
                out.push_back('\t');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'u': {
                uint32_t code = 0;
                size_t digits = 0;
                while (digits < 4 && i + 1 < text.size() && hexValue(text[i + 1]) >= 0) {
                    code = code * 16 + static_cast<uint32_t>(hexValue(text[++i]));
                    ++digits;
                }
                if (digits == 4)
                    appendUtf8(out, code);
                else
                    out.push_back('u');
                break;
            }
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string trimmed(std::optional<std::string> value) {
    if (!value) return {};
    std::string& text = *value;
    const size_t end = text.find_last_not_of(" \t\r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> parseProperties(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> properties;
    // Where each key is, so that a file of many keys stays linear.
    std::unordered_map<std::string, size_t> where;
    for (const std::string& line : logicalLines(text)) {
        // The key ends at the first unescaped '=', ':' or blank.
        size_t at = 0;
        while (at < line.size() && line[at] != '=' && line[at] != ':' && !isBlank(line[at]))
            at += line[at] == '\\' ? size_t{2} : size_t{1};
        at = std::min(at, line.size());
        std::string key = unescape(std::string_view(line).substr(0, at));
        size_t value = at;
        while (value < line.size() && isBlank(line[value])) ++value;
        if (value < line.size() && (line[value] == '=' || line[value] == ':')) ++value;
        while (value < line.size() && isBlank(line[value])) ++value;
        std::string unescaped = unescape(std::string_view(line).substr(value));
        const auto [slot, added] = where.try_emplace(key, properties.size());
        if (added)
            properties.emplace_back(std::move(key), std::move(unescaped));
        else
            properties[slot->second].second = std::move(unescaped);
    }
    return properties;
}

std::optional<MavenCoordinates> mavenCoordinatesFromPomProperties(std::string_view text) {
    MavenCoordinates coordinates;
    for (auto& [key, value] : parseProperties(text)) {
        if (key == "groupId") coordinates.groupId = std::move(value);
        if (key == "artifactId") coordinates.artifactId = std::move(value);
        if (key == "version") coordinates.version = std::move(value);
    }
    if (coordinates.groupId.empty() || coordinates.artifactId.empty() ||
        coordinates.version.empty())
        return std::nullopt;
    return coordinates;
}

ManifestFacts manifestFacts(std::span<const uint8_t> manifest) {
    const VQJarManifest parsed(manifest);
    ManifestFacts facts;
    auto attribute = [&](std::string_view name) -> std::optional<std::string> {
        std::string value = trimmed(parsed.mainAttribute(name));
        if (value.empty()) return std::nullopt;
        return value;
    };
    facts.implementationTitle = attribute("Implementation-Title");
    facts.implementationVersion = attribute("Implementation-Version");
    facts.automaticModuleName = attribute("Automatic-Module-Name");
    facts.multiRelease = parsed.isMultiRelease();
    return facts;
}

std::string mavenPackageUrl(const MavenCoordinates& coordinates) {
    auto encode = [](std::string_view text, bool keepSlash) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                    (byte >= '0' && byte <= '9') || c == '.' || c == '-' ||
                                    c == '_' || c == '~' || (keepSlash && c == '/');
            if (unreserved) {
                out.push_back(c);
            } else {
                out.push_back('%');
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 15]);
            }
        }
        return out;
    };
    return "pkg:maven/" + encode(coordinates.groupId, false) + "/" +
           encode(coordinates.artifactId, false) + "@" + encode(coordinates.version, false);
}

}  // namespace ornith::tool
