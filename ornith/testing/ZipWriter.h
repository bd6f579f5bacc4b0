#pragma once
// A byte-level zip writer for tests: sound archives (stored and deflated members, member
// and archive comments, bytes before the archive, data descriptors) and every kind of lie
// a damaged or hostile archive can tell. Not installed; tests only.

#include <libdeflate.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ornith::testing {

using ZipBytes = std::vector<uint8_t>;

inline void putLE16(ZipBytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void putLE32(ZipBytes& out, uint32_t v) {
    putLE16(out, v & 0xFFFF);
    putLE16(out, v >> 16);
}
inline void putText(ZipBytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Raw deflate of the data with libdeflate.
inline ZipBytes deflateBytes(std::string_view data, int level = 6) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (!compressor) throw std::bad_alloc();
    ZipBytes out(libdeflate_deflate_compress_bound(compressor, data.size()));
    size_t n =
        libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    if (n == 0) throw std::runtime_error("deflate failed");
    out.resize(n);
    return out;
}

class ZipWriter {
public:
    struct Member {
        std::string name;
        std::string content;  // uncompressed
        uint16_t method = 0;  // 0 stored, 8 deflated here; any other value is written as is
        // Written as the member's data instead of the (compressed) content.
        std::optional<ZipBytes> rawData;
        // Lies the central record may tell; unset means the truth.
        std::optional<uint32_t> declaredLength, declaredCompressedLength, declaredLocalOffset;
        std::optional<uint16_t> declaredNameLength;
        ZipBytes localExtra, centralExtra;
        std::string comment;
        uint16_t flags = 0;          // bit 3: sizes in a data descriptor after the data
        bool localSignature = true;  // false writes "PK\x09\x09" instead of "PK\x03\x04"
        bool writeLocal = true;      // false: no local header or data at all
    };

    // The reference is good until the next add().
    Member& add(std::string name, std::string_view content, uint16_t method = 0) {
        Member m;
        m.name = std::move(name);
        m.content = std::string(content);
        m.method = method;
        _members.push_back(std::move(m));
        return _members.back();
    }

    Member& member(size_t i) { return _members.at(i); }

    ZipBytes prefix;               // bytes before the archive
    bool adjustForPrefix = false;  // record offsets from the start of the file (as `zip -A` does)
    std::string archiveComment;
    ZipBytes afterEnd;  // bytes after the end record and its comment
    std::optional<uint16_t> declaredCount, declaredCommentLength;
    std::optional<uint32_t> declaredDirectorySize, declaredDirectoryOffset;

    ZipBytes bytes() const {
        ZipBytes out = prefix;
        const uint32_t base = adjustForPrefix ? 0 : static_cast<uint32_t>(prefix.size());
        std::vector<uint32_t> offsets;
        std::vector<ZipBytes> stored;
        for (const Member& m : _members) {
            ZipBytes data = m.rawData       ? *m.rawData
                            : m.method == 8 ? deflateBytes(m.content)
                                            : ZipBytes(m.content.begin(), m.content.end());
            offsets.push_back(static_cast<uint32_t>(out.size()) - base);
            if (m.writeLocal) {
                const bool descriptor = (m.flags & 8) != 0;
                putLE32(out, m.localSignature ? 0x04034B50 : 0x09094B50);
                putLE16(out, 20);
                putLE16(out, m.flags);
                putLE16(out, m.method);
                putLE32(out, 0);  // time, date
                putLE32(out, descriptor ? 0 : crc(m.content));
                putLE32(out, descriptor ? 0 : static_cast<uint32_t>(data.size()));
                putLE32(out, descriptor ? 0 : static_cast<uint32_t>(m.content.size()));
                putLE16(out, static_cast<uint32_t>(m.name.size()));
                putLE16(out, static_cast<uint32_t>(m.localExtra.size()));
                putText(out, m.name);
                out.insert(out.end(), m.localExtra.begin(), m.localExtra.end());
                out.insert(out.end(), data.begin(), data.end());
                if (descriptor) {
                    putLE32(out, 0x08074B50);
                    putLE32(out, crc(m.content));
                    putLE32(out, static_cast<uint32_t>(data.size()));
                    putLE32(out, static_cast<uint32_t>(m.content.size()));
                }
            }
            stored.push_back(std::move(data));
        }
        const uint32_t directoryStart = static_cast<uint32_t>(out.size());
        for (size_t i = 0; i < _members.size(); ++i) {
            const Member& m = _members[i];
            putLE32(out, 0x02014B50);
            putLE16(out, 20);
            putLE16(out, 20);
            putLE16(out, m.flags);
            putLE16(out, m.method);
            putLE32(out, 0);
            putLE32(out, crc(m.content));
            putLE32(out,
                    m.declaredCompressedLength.value_or(static_cast<uint32_t>(stored[i].size())));
            putLE32(out, m.declaredLength.value_or(static_cast<uint32_t>(m.content.size())));
            putLE16(out, m.declaredNameLength.value_or(static_cast<uint16_t>(m.name.size())));
            putLE16(out, static_cast<uint32_t>(m.centralExtra.size()));
            putLE16(out, static_cast<uint32_t>(m.comment.size()));
            putLE16(out, 0);
            putLE16(out, 0);
            putLE32(out, 0);
            putLE32(out, m.declaredLocalOffset.value_or(offsets[i]));
            putText(out, m.name);
            out.insert(out.end(), m.centralExtra.begin(), m.centralExtra.end());
            putText(out, m.comment);
        }
        const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryStart;
        putLE32(out, 0x06054B50);
        putLE16(out, 0);
        putLE16(out, 0);
        const uint16_t count = declaredCount.value_or(static_cast<uint16_t>(_members.size()));
        putLE16(out, count);
        putLE16(out, count);
        putLE32(out, declaredDirectorySize.value_or(directorySize));
        putLE32(out, declaredDirectoryOffset.value_or(directoryStart - base));
        putLE16(out, declaredCommentLength.value_or(static_cast<uint16_t>(archiveComment.size())));
        putText(out, archiveComment);
        out.insert(out.end(), afterEnd.begin(), afterEnd.end());
        return out;
    }

    void writeTo(const std::string& path) const {
        ZipBytes b = bytes();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }

    // Offset from the start of the file of member i's data (its local header's end), as
    // written; for checking what the walk reports.
    uint32_t dataOffset(size_t i) const {
        uint32_t at = static_cast<uint32_t>(prefix.size());
        for (size_t k = 0; k < _members.size(); ++k) {
            const Member& m = _members[k];
            if (!m.writeLocal) continue;
            const uint32_t header = 30 + static_cast<uint32_t>(m.name.size() + m.localExtra.size());
            if (k == i) return at + header;
            const size_t dataSize = m.rawData       ? m.rawData->size()
                                    : m.method == 8 ? deflateBytes(m.content).size()
                                                    : m.content.size();
            at += header + static_cast<uint32_t>(dataSize) + ((m.flags & 8) ? 16 : 0);
        }
        return at;
    }

private:
    static uint32_t crc(const std::string& content) {
        return libdeflate_crc32(0, content.data(), content.size());
    }

    std::vector<Member> _members;
};

}  // namespace ornith::testing
