#pragma once
// A byte-level zip writer for tests: sound archives (stored and deflated members, member
// and archive comments, bytes before the archive, data descriptors, zip64 records and
// extra fields, members beyond 4 GiB behind sparse holes) and every kind of lie a damaged
// or hostile archive can tell. Not installed; tests only.

#include <libdeflate.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
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
inline void putLE64(ZipBytes& out, uint64_t v) {
    putLE32(out, static_cast<uint32_t>(v));
    putLE32(out, static_cast<uint32_t>(v >> 32));
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
        // Zero bytes before the member's local header; writeTo leaves them as a hole in
        // a sparse file, so that members beyond 4 GiB cost no disk.
        uint64_t holeBefore = 0;
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

    // zip64: every member's sizes and local offset go to extended-information extra
    // fields (central and local), with all ones in their 32-bit fields, and the archive
    // ends with a zip64 record and locator before an end record of all ones. As written
    // by `zip -fz`, and by Java for archives of more than 65,535 members.
    bool zip64 = false;
    // With zip64: the end record keeps its true values where they fit, as some writers do.
    bool zip64TrueEndValues = false;
    // Where the zip64 locator says the zip64 record lies, if not the truth.
    std::optional<uint64_t> declaredZip64RecordOffset;
    std::optional<uint64_t> declaredZip64Count;

    ZipBytes bytes() const {
        ZipBytes out;
        emit(out, nullptr);
        return out;
    }

    void writeTo(const std::string& path) const {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        ZipBytes out;
        emit(out, &file);
        file.write(reinterpret_cast<const char*>(out.data()),
                   static_cast<std::streamsize>(out.size()));
        if (!file) throw std::runtime_error("cannot write " + path);
    }

private:
    // Writes the archive to `out`; with a file, holes are left as holes (what has been
    // gathered is flushed first) and `out` ends with what remains to be written.
    void emit(ZipBytes& out, std::ofstream* file) const {
        uint64_t flushed = 0;  // bytes already in the file before out's first byte
        auto position = [&] { return flushed + out.size(); };
        auto hole = [&](uint64_t n) {
            if (!file) {
                out.insert(out.end(), static_cast<size_t>(n), 0);
                return;
            }
            file->write(reinterpret_cast<const char*>(out.data()),
                        static_cast<std::streamsize>(out.size()));
            flushed += out.size() + n;
            out.clear();
            file->seekp(static_cast<std::streamoff>(flushed));
        };
        out.insert(out.end(), prefix.begin(), prefix.end());
        const uint64_t base = adjustForPrefix ? 0 : prefix.size();
        std::vector<uint64_t> offsets;
        std::vector<ZipBytes> stored;
        for (const Member& m : _members) {
            ZipBytes data = m.rawData       ? *m.rawData
                            : m.method == 8 ? deflateBytes(m.content)
                                            : ZipBytes(m.content.begin(), m.content.end());
            if (m.holeBefore) hole(m.holeBefore);
            offsets.push_back(position() - base);
            if (m.writeLocal) {
                const bool descriptor = (m.flags & 8) != 0;
                putLE32(out, m.localSignature ? 0x04034B50 : 0x09094B50);
                putLE16(out, 20);
                putLE16(out, m.flags);
                putLE16(out, m.method);
                putLE32(out, 0);  // time, date
                putLE32(out, descriptor ? 0 : crc(m.content));
                const ZipBytes localExtra =
                    zip64 ? withZip64(m.localExtra, {m.content.size(), data.size()}) : m.localExtra;
                putLE32(out, descriptor ? 0
                             : zip64    ? 0xFFFFFFFF
                                        : static_cast<uint32_t>(data.size()));
                putLE32(out, descriptor ? 0
                             : zip64    ? 0xFFFFFFFF
                                        : static_cast<uint32_t>(m.content.size()));
                putLE16(out, static_cast<uint32_t>(m.name.size()));
                putLE16(out, static_cast<uint32_t>(localExtra.size()));
                putText(out, m.name);
                out.insert(out.end(), localExtra.begin(), localExtra.end());
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
        const uint64_t directoryStart = position();
        for (size_t i = 0; i < _members.size(); ++i) {
            const Member& m = _members[i];
            const ZipBytes centralExtra =
                zip64 ? withZip64(m.centralExtra, {m.content.size(), stored[i].size(), offsets[i]})
                      : m.centralExtra;
            putLE32(out, 0x02014B50);
            putLE16(out, zip64 ? 45 : 20);
            putLE16(out, zip64 ? 45 : 20);
            putLE16(out, m.flags);
            putLE16(out, m.method);
            putLE32(out, 0);
            putLE32(out, crc(m.content));
            putLE32(out, m.declaredCompressedLength.value_or(
                             zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(stored[i].size())));
            putLE32(out, m.declaredLength.value_or(
                             zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(m.content.size())));
            putLE16(out, m.declaredNameLength.value_or(static_cast<uint16_t>(m.name.size())));
            putLE16(out, static_cast<uint32_t>(centralExtra.size()));
            putLE16(out, static_cast<uint32_t>(m.comment.size()));
            putLE16(out, 0);
            putLE16(out, 0);
            putLE32(out, 0);
            putLE32(out, m.declaredLocalOffset.value_or(zip64 ? 0xFFFFFFFF
                                                              : static_cast<uint32_t>(offsets[i])));
            putText(out, m.name);
            out.insert(out.end(), centralExtra.begin(), centralExtra.end());
            putText(out, m.comment);
        }
        const uint64_t directorySize = position() - directoryStart;
        if (zip64) {
            const uint64_t recordAt = position();
            putLE32(out, 0x06064B50);
            putLE64(out, 44);
            putLE16(out, 45);
            putLE16(out, 45);
            putLE32(out, 0);
            putLE32(out, 0);
            putLE64(out, declaredZip64Count.value_or(_members.size()));
            putLE64(out, declaredZip64Count.value_or(_members.size()));
            putLE64(out, directorySize);
            putLE64(out, directoryStart - base);
            putLE32(out, 0x07064B50);
            putLE32(out, 0);
            putLE64(out, declaredZip64RecordOffset.value_or(recordAt - base));
            putLE32(out, 1);
        }
        putLE32(out, 0x06054B50);
        putLE16(out, 0);
        putLE16(out, 0);
        const bool allOnes = zip64 && !zip64TrueEndValues;
        const uint16_t count = declaredCount.value_or(
            allOnes || _members.size() > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(_members.size()));
        putLE16(out, count);
        putLE16(out, count);
        putLE32(out, declaredDirectorySize.value_or(allOnes || directorySize > 0xFFFFFFFF
                                                        ? 0xFFFFFFFF
                                                        : static_cast<uint32_t>(directorySize)));
        const uint64_t recordedStart = directoryStart - base;
        putLE32(out, declaredDirectoryOffset.value_or(allOnes || recordedStart > 0xFFFFFFFF
                                                          ? 0xFFFFFFFF
                                                          : static_cast<uint32_t>(recordedStart)));
        putLE16(out, declaredCommentLength.value_or(static_cast<uint16_t>(archiveComment.size())));
        putText(out, archiveComment);
        out.insert(out.end(), afterEnd.begin(), afterEnd.end());
    }

    // The extra field with a zip64 extended-information field of these values in front.
    static ZipBytes withZip64(const ZipBytes& extra, std::initializer_list<uint64_t> values) {
        ZipBytes out;
        putLE16(out, 1);
        putLE16(out, static_cast<uint32_t>(8 * values.size()));
        for (uint64_t v : values) putLE64(out, v);
        out.insert(out.end(), extra.begin(), extra.end());
        return out;
    }

public:
    // Offset from the start of the file of member i's data (its local header's end), as
    // written; for checking what the walk reports.
    uint32_t dataOffset(size_t i) const { return static_cast<uint32_t>(dataOffset64(i)); }
    uint64_t dataOffset64(size_t i) const {
        uint64_t at = prefix.size();
        for (size_t k = 0; k < _members.size(); ++k) {
            const Member& m = _members[k];
            at += m.holeBefore;
            if (!m.writeLocal) continue;
            const uint64_t header = 30 + m.name.size() + m.localExtra.size() + (zip64 ? 20 : 0);
            if (k == i) return at + header;
            const size_t dataSize = m.rawData       ? m.rawData->size()
                                    : m.method == 8 ? deflateBytes(m.content).size()
                                                    : m.content.size();
            at += header + dataSize + ((m.flags & 8) ? 16 : 0);
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
