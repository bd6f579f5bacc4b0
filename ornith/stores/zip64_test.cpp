// zip64 archives through the walk, the data reader and the jar store: more than 65,535
// members, zip64 extra fields in central and local headers, end records of all ones,
// members and directories beyond 4 GiB (in sparse files), and the archives that `zip
// -fz` and Python's zipfile write, when those tools are installed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ornith/base/VQFile.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/zipfile.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::ScratchDirectory;
using testing::text;
using testing::ZipWriter;

struct Reported64 {
    std::string name;
    uint64_t location, length;
    int32_t method;
    uint64_t compressedLength;
};

// The walk with every member's data placed from its local header, as the 32-bit walk
// does it, without its limits.
struct Walk64 {
    std::vector<Reported64> members;
    int result;
    explicit Walk64(const std::string& path) : Walk64(VQZipArchive::openFile(path)) {}
    explicit Walk64(const testing::ZipBytes& bytes)
        : Walk64(VQZipArchive::withBytes(bytes, "in memory")) {}
    explicit Walk64(VQZipArchive archive) {
        result = archive.readDirectory();
        if (result == 0)
            result = archive.forEachMemberWithData([&](const VQZipMember& m, uint64_t location) {
                members.push_back({std::string(m.name), location, m.length, m.compressionMethod,
                                   m.compressedLength});
                return 0;
            });
    }
};

// The specified walk, through the process-wide registration.
int walk32(const std::string& path, std::vector<std::string>* names) {
    _VQ_register_zip_archive_callback(
        [](const char* name, uint32_t, uint32_t, int32_t, uint32_t, void* c) {
            static_cast<std::vector<std::string>*>(c)->push_back(name);
        },
        names);
    const int result = _VQ_read_zip_archive(path);
    _VQ_register_zip_archive_callback(nullptr, nullptr);
    return result;
}

std::shared_ptr<const VQByteBuffer> readData64(const std::string& path, const Reported64& m) {
    return VQZipArchive::openFile(path).readData(m.location, m.length, m.method,
                                                 m.compressedLength);
}

// The shapes of zip64 archive a reader meets, each with a stored and a deflated member.
struct Zip64Shape {
    const char* label;
    void (*shape)(ZipWriter&);
    friend void PrintTo(const Zip64Shape& s, std::ostream* os) { *os << s.label; }
};

class Zip64Archives : public ::testing::TestWithParam<Zip64Shape> {};

TEST_P(Zip64Archives, ReadLikeTheirPlainTwins) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("p/", "");
    zip.add("p/A.class", "stored A");
    zip.add("p/B.class", std::string(3000, 'b') + "end", 8);
    zip.zip64 = true;
    GetParam().shape(zip);
    const std::string path = dir / "x.jar";
    zip.writeTo(path);

    const Walk64 walk(path);
    ASSERT_EQ(walk.result, 0);
    ASSERT_EQ(walk.members.size(), 3u);
    const std::vector<std::string> contents{"", "stored A", std::string(3000, 'b') + "end"};
    for (size_t i = 0; i < 3; ++i) {
        const Reported64& m = walk.members[i];
        EXPECT_EQ(m.location, zip.dataOffset64(i)) << m.name;
        EXPECT_EQ(m.length, contents[i].size());
        EXPECT_EQ(text(readData64(path, m)), contents[i]);
    }
    // The same archive in memory walks alike.
    const Walk64 inMemory(zip.bytes());
    EXPECT_EQ(inMemory.result, 0);
    EXPECT_EQ(inMemory.members.size(), 3u);

    std::vector<std::string> names;
    EXPECT_EQ(walk32(path, &names), 0);
    EXPECT_EQ(names.size(), 3u);

    const VQJarFileStore store(path);
    EXPECT_EQ(text(store.dataForClassName("p.A")), "stored A");
    EXPECT_EQ(text(store.dataForClassName("p.B")), contents[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Zip64Archives,
    ::testing::Values(
        Zip64Shape{"AllOnesEndRecord", [](ZipWriter&) {}},
        Zip64Shape{"TrueEndValues", [](ZipWriter& z) { z.zip64TrueEndValues = true; }},
        Zip64Shape{"BehindAPrefix",
                   [](ZipWriter& z) {
                       z.prefix = testing::ZipBytes{'J', 'M', 1, 0};
                   }},
        Zip64Shape{"WithAComment", [](ZipWriter& z) { z.archiveComment = "PK\x06\x06 comment"; }},
        Zip64Shape{"LocatorOffByAFewBytes", [](ZipWriter& z) { z.declaredZip64RecordOffset = 5; }}),
    [](const ::testing::TestParamInfo<Zip64Shape>& p) { return std::string(p.param.label); });

TEST(Zip64, MoreThan65535Members) {
    ScratchDirectory dir;
    ZipWriter zip;
    constexpr int kCount = 70000;
    for (int i = 0; i < kCount; ++i) zip.add("p/C" + std::to_string(i) + ".class", "c");
    zip.member(kCount - 1).content = "the last";
    zip.zip64 = true;
    zip.zip64TrueEndValues = true;  // as Java writes them: a count of 0xFFFF
    const std::string path = dir / "big.jar";
    zip.writeTo(path);

    EXPECT_EQ(Walk64(path).members.size(), size_t{kCount});
    std::vector<std::string> names;
    EXPECT_EQ(walk32(path, &names), 0);
    EXPECT_EQ(names.size(), size_t{kCount});

    const VQJarFileStore store(path);
    ASSERT_TRUE(store.classNamesInPackage("p"));
    EXPECT_EQ(store.classNamesInPackage("p")->size(), size_t{kCount});
    EXPECT_EQ(text(store.dataForClassName("p.C69999")), "the last");
}

TEST(Zip64, ARecordThatLiesIsNotFollowedOutOfTheFile) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("p/A.class", "a");
    zip.zip64 = true;
    // A count far beyond what the directory holds ends at the directory's end.
    zip.declaredZip64Count = uint64_t{1} << 60;
    const std::string path = dir / "x.jar";
    zip.writeTo(path);
    const Walk64 walk(path);
    EXPECT_EQ(walk.result, -1);
    EXPECT_EQ(walk.members.size(), 1u);
}

// Members beyond 4 GiB, behind a hole of a sparse file. Skipped where the file system
// cannot hold such a file.
TEST(Zip64, MembersBeyondFourGiB) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("p/Near.class", "near");
    zip.add("p/Far.class", std::string(2000, 'f'), 8).holeBefore = (uint64_t{9} << 29);
    zip.zip64 = true;
    const std::string path = dir / "far.jar";
    try {
        zip.writeTo(path);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no sparse file of 4.5 GiB here: " << e.what();
    }
    const Walk64 walk(path);
    ASSERT_EQ(walk.result, 0);
    ASSERT_EQ(walk.members.size(), 2u);
    EXPECT_GT(walk.members[1].location, uint64_t{UINT32_MAX});
    EXPECT_EQ(walk.members[1].location, zip.dataOffset64(1));
    const Reported64& far = walk.members[1];
    EXPECT_EQ(text(readData64(path, far)), std::string(2000, 'f'));

    // The 32-bit walk cannot say where the far member lies: it ends there.
    std::vector<std::string> names;
    EXPECT_EQ(walk32(path, &names), -1);
    EXPECT_EQ(names, std::vector<std::string>{"p/Near.class"});

    const VQJarFileStore store(path);
    EXPECT_EQ(text(store.dataForClassName("p.Near")), "near");
    EXPECT_EQ(text(store.dataForClassName("p.Far")), std::string(2000, 'f'));
    EXPECT_EQ(store.entryForClassName("p.Far")->locationInZipFile(), zip.dataOffset64(1));
}

// Archives written by the tools people use, when they are installed.
int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

TEST(Zip64, ArchivesOfZipAndPython) {
    ScratchDirectory dir;
    testing::writeFile(dir / "src/p/A.class", "class A bytes");
    testing::writeFile(dir / "src/p/B.class", std::string(5000, 'B'));
    std::vector<std::string> made;
    if (run("command -v zip") == 0 &&
        run("cd '" + dir.path() + "/src' && zip -q -fz -r ../zip.jar p") == 0)
        made.push_back(dir / "zip.jar");
    if (run("command -v python3") == 0 &&
        run("cd '" + dir.path() +
            "/src' && python3 -c \"import zipfile\nwith zipfile.ZipFile('../py.jar', 'w', "
            "zipfile.ZIP_DEFLATED) as z:\n for n in ['p/A.class', 'p/B.class']:\n"
            "  with open(n, 'rb') as f, z.open(n, 'w', force_zip64=True) as o: "
            "o.write(f.read())\"") == 0)
        made.push_back(dir / "py.jar");
    if (made.empty()) GTEST_SKIP() << "neither zip nor python3 is installed";
    for (const std::string& path : made) {
        SCOPED_TRACE(path);
        const Walk64 walk(path);
        EXPECT_EQ(walk.result, 0);
        const VQJarFileStore store(path);
        EXPECT_EQ(text(store.dataForClassName("p.A")), "class A bytes");
        EXPECT_EQ(text(store.dataForClassName("p.B")), std::string(5000, 'B'));
    }
}

}  // namespace
}  // namespace ornith
