#pragma once
// A writer of small Java runtime images (the lib/modules format) for tests and fuzz seeds:
// resources in modules, stored plain or zip-compressed (or tagged with any other method
// name, for the reader's refusal), with the /packages and /modules directories a real
// image carries and a perfect hash table over every name. The layout of what it wrote is
// given back, so that tests can damage the index at known places. Not installed.

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQEndian.h"

namespace ornith::testing {

using ImageBytes = std::vector<uint8_t>;

class ImageWriter {
public:
    struct Resource {
        std::string module;
        std::string path;         // "java/lang/String.class"; no leading '/'
        std::string content;      // as read back
        std::string compression;  // "" stored plain, "zip", or another method's name
    };

    // Where the parts of the written image start, in bytes from its beginning.
    struct Layout {
        size_t redirect = 28, offsets = 0, locations = 0, strings = 0, contents = 0;
        uint32_t tableLength = 0;
        std::map<std::string, size_t> locationOf;  // full name → offset in the locations
    };

    bool bigEndian = false;
    uint32_t version = 0x00010000;

    void add(std::string module, std::string path, std::string content,
             std::string compression = "") {
        _resources.push_back(
            {std::move(module), std::move(path), std::move(content), std::move(compression)});
    }

    // The image's name hash, the writer's own copy.
    static uint32_t hash(std::string_view name, uint32_t seed = 0x01000193) {
        for (const char c : name) seed = (seed * 0x01000193) ^ static_cast<uint8_t>(c);
        return seed & 0x7FFFFFFF;
    }

    ImageBytes bytes(Layout* layoutOut = nullptr) const {
        Layout layout;
        _strings.assign(1, '\0');  // offset 0 is "no string"
        _stringOffsets.clear();
        std::vector<Entry> entries;
        ImageBytes contents;

        // Plain resources first, in the order given.
        std::map<std::string, std::set<std::string>> moduleDirectories;  // module → dirs
        for (const Resource& r : _resources) {
            Entry e;
            e.module = r.module;
            const size_t slash = r.path.rfind('/');
            e.parent = slash == std::string::npos ? "" : r.path.substr(0, slash);
            std::string file = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
            const size_t dot = file.rfind('.');
            e.base = dot == std::string::npos ? file : file.substr(0, dot);
            e.extension = dot == std::string::npos ? "" : file.substr(dot + 1);
            e.content = stored(r);
            e.length = r.content.size();
            e.compressed = r.compression.empty() ? 0 : e.content.size();
            entries.push_back(std::move(e));
            for (std::string dir = entries.back().parent; !dir.empty();) {
                moduleDirectories[r.module].insert(dir);
                const size_t up = dir.rfind('/');
                dir = up == std::string::npos ? "" : dir.substr(0, up);
            }
            moduleDirectories[r.module];
        }
        const size_t plainCount = entries.size();  // the directories follow

        // Directories: /modules/M and /modules/M/DIR list their children's locations,
        // /packages/P pairs of (empty, module name), /packages and /modules their children.
        std::vector<std::string> moduleDirs, packageDirs;
        std::map<std::string, std::vector<std::string>> childrenOf;  // full name → names
        std::map<std::string, std::vector<std::pair<uint32_t, std::string>>> packageModules;
        for (const auto& [module, dirs] : moduleDirectories) {
            const std::string top = "/modules/" + module;
            moduleDirs.push_back(top);
            childrenOf[top];
            for (const std::string& dir : dirs) {
                const size_t up = dir.rfind('/');
                const std::string parent =
                    up == std::string::npos ? top : top + "/" + dir.substr(0, up);
                childrenOf[parent].push_back(top + "/" + dir);
                childrenOf[top + "/" + dir];
                std::string dotted = dir;
                std::replace(dotted.begin(), dotted.end(), '/', '.');
                bool hasOwn = false;
                for (const Resource& r : _resources)
                    hasOwn |= r.module == module && r.path.rfind('/') == dir.size() &&
                              r.path.compare(0, dir.size(), dir) == 0;
                packageModules[dotted].emplace_back(hasOwn ? 0 : 1, module);
            }
        }
        for (size_t i = 0; i < plainCount; ++i) {
            const Entry& e = entries[i];
            const std::string dir =
                "/modules/" + e.module + (e.parent.empty() ? "" : "/" + e.parent);
            childrenOf[dir].push_back(fullName(e));
        }
        auto addDirectory = [&](std::string module, std::string base) {
            Entry e;
            e.module = std::move(module);
            e.base = std::move(base);
            e.directory = true;
            entries.push_back(std::move(e));
        };
        for (const auto& [name, children] : childrenOf) addDirectory("modules", name.substr(9));
        for (const auto& [name, modules] : packageModules) addDirectory("packages", name);
        addDirectory("", "/packages");
        addDirectory("", "/modules");

        // Strings and locations; a directory's contents need its children's locations,
        // so locations are written with placeholder contents first and the contents
        // after. The location table starts with one unused byte: offset 0 is "none".
        ImageBytes locations(1, 0);
        std::map<std::string, size_t> locationOf;
        for (Entry& e : entries) {
            e.moduleString = e.module.empty() ? 0 : intern(e.module);
            e.parentString = e.parent.empty() ? 0 : intern(e.parent);
            e.baseString = intern(e.base);
            e.extensionString = e.extension.empty() ? 0 : intern(e.extension);
        }
        for (Entry& e : entries)
            if (e.directory && e.module == "packages")
                for (const auto& [empty, module] : packageModules.at(e.base)) {
                    put32(e.content, empty);
                    put32(e.content, intern(module));
                }
        // Lay out contents and write locations.
        for (Entry& e : entries) {
            e.offset = contents.size();
            contents.insert(contents.end(), e.content.begin(), e.content.end());
            if (e.directory) {
                const size_t size = e.content.empty()
                                        ? directorySize(e, childrenOf, moduleDirs, packageModules)
                                        : e.content.size();
                contents.resize(e.offset + size);
                e.length = size;
            }
            locationOf[fullName(e)] = locations.size();
            putLocation(locations, e);
        }
        // Fill directory contents now that every location is known.
        for (Entry& e : entries) {
            if (!e.directory || !e.content.empty()) continue;
            const std::vector<std::string>* children = nullptr;
            std::vector<std::string> packageNames;
            const std::string name = fullName(e);
            if (name == "/modules") {
                children = &moduleDirs;
            } else if (name == "/packages") {
                for (const auto& [p, m] : packageModules) packageNames.push_back("/packages/" + p);
                children = &packageNames;
            } else if (auto it = childrenOf.find(name); it != childrenOf.end()) {
                children = &it->second;
            }
            if (!children) continue;
            ImageBytes values;
            for (const std::string& child : *children)
                put32(values, static_cast<uint32_t>(locationOf.at(child)));
            std::copy(values.begin(), values.end(), contents.begin() + static_cast<long>(e.offset));
        }

        // The perfect hash: crowded buckets first, each gets the smallest seed that puts
        // all its names into free slots; single names then take the free slots left.
        const uint32_t count = static_cast<uint32_t>(entries.size());
        std::vector<int32_t> redirect(count, 0);
        std::vector<uint32_t> offsets(count, 0);
        std::vector<bool> used(count, false);
        std::vector<std::vector<std::string>> buckets(count);
        for (const Entry& e : entries) {
            const std::string name = fullName(e);
            buckets[hash(name) % count].push_back(name);
        }
        std::vector<uint32_t> order(count);
        for (uint32_t i = 0; i < count; ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return buckets[a].size() > buckets[b].size();
        });
        for (const uint32_t b : order) {
            if (buckets[b].size() < 2) break;
            for (int32_t seed = 1;; ++seed) {
                std::vector<uint32_t> slots;
                bool fits = true;
                for (const std::string& name : buckets[b]) {
                    const uint32_t slot = hash(name, static_cast<uint32_t>(seed)) % count;
                    if (used[slot] || std::find(slots.begin(), slots.end(), slot) != slots.end()) {
                        fits = false;
                        break;
                    }
                    slots.push_back(slot);
                }
                if (!fits) continue;
                for (size_t i = 0; i < slots.size(); ++i) {
                    used[slots[i]] = true;
                    offsets[slots[i]] = static_cast<uint32_t>(locationOf.at(buckets[b][i]));
                }
                redirect[b] = seed;
                break;
            }
        }
        uint32_t free = 0;
        for (const uint32_t b : order) {
            if (buckets[b].size() != 1) continue;
            while (used[free]) ++free;
            used[free] = true;
            offsets[free] = static_cast<uint32_t>(locationOf.at(buckets[b][0]));
            redirect[b] = -static_cast<int32_t>(free) - 1;
        }

        ImageBytes out;
        put32(out, 0xCAFEDADA);
        put32(out, version);
        put32(out, 0);
        put32(out, count);
        put32(out, count);
        put32(out, static_cast<uint32_t>(locations.size()));
        put32(out, static_cast<uint32_t>(_strings.size()));
        layout.tableLength = count;
        for (const int32_t r : redirect) put32(out, static_cast<uint32_t>(r));
        layout.offsets = out.size();
        for (const uint32_t o : offsets) put32(out, o);
        layout.locations = out.size();
        out.insert(out.end(), locations.begin(), locations.end());
        layout.strings = out.size();
        out.insert(out.end(), _strings.begin(), _strings.end());
        layout.contents = out.size();
        out.insert(out.end(), contents.begin(), contents.end());
        layout.locationOf = std::move(locationOf);
        if (layoutOut) *layoutOut = std::move(layout);
        return out;
    }

private:
    struct Entry {
        std::string module, parent, base, extension;
        std::string content;
        uint64_t offset = 0, compressed = 0, length = 0;
        uint32_t moduleString = 0, parentString = 0, baseString = 0, extensionString = 0;
        bool directory = false;
    };

    static std::string fullName(const Entry& e) {
        std::string name;
        if (!e.module.empty()) name += "/" + e.module + "/";
        if (!e.parent.empty()) name += e.parent + "/";
        name += e.base;
        if (!e.extension.empty()) name += "." + e.extension;
        return name;
    }

    static size_t directorySize(
        const Entry& e, const std::map<std::string, std::vector<std::string>>& childrenOf,
        const std::vector<std::string>& moduleDirs,
        const std::map<std::string, std::vector<std::pair<uint32_t, std::string>>>&
            packageModules) {
        const std::string name = fullName(e);
        if (name == "/modules") return 4 * moduleDirs.size();
        if (name == "/packages") return 4 * packageModules.size();
        if (auto it = childrenOf.find(name); it != childrenOf.end()) return 4 * it->second.size();
        return 0;
    }

    void put32(ImageBytes& out, uint32_t value) const {
        uint8_t word[4];
        if (bigEndian)
            VQStoreBE32(word, value);
        else
            VQStoreLE32(word, value);
        out.insert(out.end(), word, word + 4);
    }
    void put32(std::string& out, uint32_t value) const {
        ImageBytes word;
        put32(word, value);
        out.append(word.begin(), word.end());
    }
    void put64(std::string& out, uint64_t value) const {
        uint8_t word[8];
        if (bigEndian)
            VQStoreBE64(word, value);
        else
            VQStoreLE64(word, value);
        out.append(reinterpret_cast<const char*>(word), 8);
    }

    uint32_t intern(const std::string& text) const {
        if (auto it = _stringOffsets.find(text); it != _stringOffsets.end()) return it->second;
        const auto offset = static_cast<uint32_t>(_strings.size());
        _strings.append(text).push_back('\0');
        _stringOffsets.emplace(text, offset);
        return offset;
    }

    // Attributes: kind << 3 | (bytes - 1), then the value's bytes, most significant first.
    static void putLocation(ImageBytes& out, const Entry& e) {
        const uint64_t values[8] = {
            0,        e.moduleString, e.parentString, e.baseString, e.extensionString,
            e.offset, e.compressed,   e.length};
        for (unsigned kind = 1; kind < 8; ++kind) {
            const uint64_t value = values[kind];
            if (value == 0) continue;
            unsigned length = 1;
            while (length < 8 && (value >> (8 * length)) != 0) ++length;
            out.push_back(static_cast<uint8_t>(kind << 3 | (length - 1)));
            uint8_t wide[8];
            VQStoreBE64(wide, value);
            out.insert(out.end(), wide + (8 - length), wide + 8);
        }
        out.push_back(0);
    }

    // The bytes stored for a resource: plain, or a compression header and the payload.
    std::string stored(const Resource& r) const {
        if (r.compression.empty()) return r.content;
        std::string payload = r.content;
        if (r.compression == "zip") {
            libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
            if (!compressor) throw std::bad_alloc();
            std::string out(libdeflate_zlib_compress_bound(compressor, r.content.size()), '\0');
            const size_t n = libdeflate_zlib_compress(compressor, r.content.data(),
                                                      r.content.size(), out.data(), out.size());
            libdeflate_free_compressor(compressor);
            if (n == 0) throw std::runtime_error("zlib compression failed");
            out.resize(n);
            payload = std::move(out);
        }
        std::string header;
        put32(header, 0xCAFEFAFA);
        put64(header, payload.size());
        put64(header, r.content.size());
        put32(header, intern(r.compression));
        put32(header, 0xFFFFFFFF);
        header.push_back('\1');
        return header + payload;
    }

    std::vector<Resource> _resources;
    mutable std::string _strings;
    mutable std::map<std::string, uint32_t> _stringOffsets;
};

}  // namespace ornith::testing
