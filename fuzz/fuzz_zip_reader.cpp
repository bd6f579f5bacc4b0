// The zip reader over arbitrary bytes: the walk of the central directory, then a read of
// every member it reports, stored or deflated. The walk must answer 0, -1 or -2; each read
// gives exactly the recorded length or raises one of the reader's own failures, and a
// stored member inside the file is always read. The 64-bit walk over the file and over
// the same bytes in memory must agree, and the directory-only walk reports at least what
// the full walk does.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "ornith/base/VQException.h"
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

    size_t wideFromFile = 0, wideFromBytes = 0, directoryOnly = 0;
    auto count = [](const char*, uint64_t, uint64_t, int32_t, uint64_t, void* c) {
        ++*static_cast<size_t*>(c);
    };
    const int fromFile = _VQ_walk_zip_archive64(path, count, &wideFromFile);
    const int fromBytes = VQZipWalkArchiveBytes({data, size}, count, &wideFromBytes);
    ORNITH_FUZZ_CHECK(fromFile == fromBytes && wideFromFile == wideFromBytes);
    ORNITH_FUZZ_CHECK(wideFromFile >= members.size());
    const int listed = VQZipWalkDirectoryBytes(
        {data, size}, [](const VQZipDirectoryMember&, void* c) { ++*static_cast<size_t*>(c); },
        &directoryOnly);
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
