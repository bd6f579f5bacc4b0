// The zip reader over arbitrary bytes: the walk of the central directory, then a read of
// every member it reports, stored or deflated. The walk must answer 0, -1 or -2; each read
// gives exactly the recorded length or raises one of the reader's own failures, and a
// stored member inside the file is always read. The 64-bit walk over the file and over
// the same bytes in memory must agree, and the directory-only walk reports at least what
// the full walk does. The archive read as a window over the file reads as the file does.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFile.h"
#include "ornith/stores/zipfile.h"

using namespace ornith;

namespace {

struct Member {
    std::string name;
    uint32_t location, length;
    int32_t method;
    uint32_t compressedLength;
};

void collect(const char* name, uint32_t location, uint32_t length, int32_t method,
             uint32_t compressedLength, void* context) {
    static_cast<std::vector<Member>*>(context)->push_back(
        {name, location, length, method, compressedLength});
}

bool isReaderFailure(const VQException& e, const std::string& path) {
    if (e.name() != "InvalidArgumentException") return false;
    const std::string_view reason = e.reason();
    return reason.starts_with("Unsupported compression type ") ||
           reason.starts_with("Corrupt zip file " + path + " (");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file(".zip");
    const std::string& path = file.write(data, size);

    std::vector<Member> members;
    _VQ_register_zip_archive_callback(&collect, &members);
    const int result = _VQ_read_zip_archive(path);
    _VQ_register_zip_archive_callback(nullptr, nullptr);
    ORNITH_FUZZ_CHECK(result == 0 || result == -1 || result == -2);

    // The walk with local headers, without the 32-bit limits, over one source.
    auto wideWalk = [](VQZipArchive& archive, size_t* count) {
        if (const int failed = archive.readDirectory()) return failed;
        return archive.forEachMemberWithData([count](const VQZipMember&, uint64_t) {
            ++*count;
            return 0;
        });
    };
    size_t wideFromFile = 0, wideFromBytes = 0, wideFromWindow = 0, directoryOnly = 0;
    VQFileStatus status = VQFileStatus::ok;
    VQZipArchive fromFileArchive = VQZipArchive::withFile(VQFile::openRegular(path, &status), path);
    ORNITH_FUZZ_CHECK(status == VQFileStatus::ok);
    const int fromFile = wideWalk(fromFileArchive, &wideFromFile);
    VQZipArchive bytesArchive = VQZipArchive::withBytes({data, size}, path);
    const int fromBytes = wideWalk(bytesArchive, &wideFromBytes);
    ORNITH_FUZZ_CHECK(fromFile == fromBytes && wideFromFile == wideFromBytes);
    ORNITH_FUZZ_CHECK(wideFromFile >= members.size());
    VQZipArchive window = VQZipArchive::window(
        std::make_shared<VQZipArchive>(std::move(fromFileArchive)), 0, size, path);
    const int fromWindow = wideWalk(window, &wideFromWindow);
    ORNITH_FUZZ_CHECK(fromWindow == fromBytes && wideFromWindow == wideFromBytes);
    const int listed = bytesArchive.readDirectory() != 0
                           ? bytesArchive.problem().result
                           : bytesArchive.forEachMember([&](const VQZipMember&) {
                                 ++directoryOnly;
                                 return 0;
                             });
    ORNITH_FUZZ_CHECK(listed == 0 || listed == -1 || listed == -2);
    ORNITH_FUZZ_CHECK(directoryOnly >= wideFromFile);

    for (const Member& m : members) {
        const uint64_t extent = m.method == 0 ? m.length : m.compressedLength;
        try {
            const auto bytes =
                _VQ_read_zip_data(path, m.location, m.length, m.method, m.compressedLength);
            ORNITH_FUZZ_CHECK(bytes != nullptr && bytes->length() == m.length);
            ORNITH_FUZZ_CHECK(m.method == 0 || m.method == 8);
        } catch (const VQException& e) {
            if (!isReaderFailure(e, path)) fuzz::fail(e.what());
            // A stored member that lies inside the file can always be read.
            ORNITH_FUZZ_CHECK(!(m.method == 0 && uint64_t{m.location} + extent <= size));
        }
    }
    return 0;
}
