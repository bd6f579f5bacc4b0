// Archives cut short at every byte and changed at single bytes, through the zip reader,
// the jar store and the class-file parser. Whatever the bytes, the walk answers 0, -1 or
// -2 and reports only members that lie inside the file; a member read gives exactly its
// recorded length or raises the reader's own failure; the store answers from its index
// and turns a failed read into an absent class with one logged line; nothing is left open.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/zipfile.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::LogCapture;
using testing::ZipBytes;
using testing::ZipWriter;

// One file that a sweep rewrites thousands of times: in memory-backed /dev/shm where there
// is one, since on a disk each rewrite can cost milliseconds.
class ScratchFile {
public:
    explicit ScratchFile(std::string_view name) {
        const std::string dir =
            ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : ::testing::TempDir();
        _path = dir + "ornith_hostile_" + std::to_string(::getpid()) + "_" + std::string(name);
    }
    ~ScratchFile() { std::filesystem::remove(_path); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

struct Member {
    std::string name;
    uint32_t location, length;
    int32_t method;
    uint32_t compressedLength;
};

struct Walk {
    int result;
    std::vector<Member> members;
};

Walk walk(const std::string& path) {
    Walk w{0, {}};
    _VQ_register_zip_archive_callback(
        [](const char* name, uint32_t location, uint32_t length, int32_t method,
           uint32_t compressedLength, void* context) {
            static_cast<std::vector<Member>*>(context)->push_back(
                {name, location, length, method, compressedLength});
        },
        &w.members);
    w.result = _VQ_read_zip_archive(path);
    _VQ_register_zip_archive_callback(nullptr, nullptr);
    return w;
}

struct NameOnly {
    std::string name;
    void setClassName(std::string dottedName) { name = std::move(dottedName); }
};

// Counts of what a sweep saw, so that a sweep which never reaches one of the outcomes
// shows up as a failure rather than as a pass that tested nothing.
struct Tally {
    size_t walked = 0, refused = 0, read = 0, readFailed = 0, parsed = 0;
};

// The walk, a read of every member it reports, and a name-only parse of every class read.
void exerciseReader(const std::string& path, uint64_t size, Tally& tally) {
    const Walk w = walk(path);
    ASSERT_TRUE(w.result == 0 || w.result == -1 || w.result == -2) << w.result;
    (w.result == 0 ? tally.walked : tally.refused)++;
    for (const Member& m : w.members) {
        // A member whose data runs past the end is reported, and fails when read.
        const bool pastEnd = uint64_t{m.location} + m.compressedLength > size;
        std::shared_ptr<const VQByteBuffer> bytes;
        try {
            bytes = _VQ_read_zip_data(path, m.location, m.length, m.method, m.compressedLength);
        } catch (const VQException& e) {
            ++tally.readFailed;
            EXPECT_EQ(e.name(), "InvalidArgumentException");
            const std::string& reason = e.reason();
            EXPECT_TRUE(
                reason.starts_with("Unsupported compression type ") ||
                (reason.starts_with("Corrupt zip file " + path + " (") && reason.ends_with(").")))
                << reason;
            // A stored member that lies inside the file can always be read.
            EXPECT_FALSE(m.method == 0 && uint64_t{m.location} + m.length <= size) << reason;
            continue;
        }
        ++tally.read;
        EXPECT_FALSE(pastEnd && m.method == 8) << m.name;
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->length(), m.length);
        if (!std::string_view(m.name).ends_with(".class")) continue;
        NameOnly builder;
        try {
            VQParseClassFile(*bytes, builder);
            ++tally.parsed;
        } catch (const VQException&) {
            // The parser's own failures are the sweeps of the class model's business.
        }
    }
}

std::string qualify(const std::string& package, const std::string& bareName) {
    return package.empty() ? bareName : package + "." + bareName;
}

// Every package from the root down and every class in them: a class is read or absent
// with exactly one logged line. Answers the number of classes listed.
size_t exerciseStore(const std::string& path, int release = 0) {
    LogCapture log;
    VQJarFileStore store(path);
    if (release) store.setOptions({release, nullptr});
    (void)store.description();
    size_t classes = 0;
    std::vector<std::string> pending;
    if (store.containsPackageName("")) pending.emplace_back();
    while (!pending.empty()) {
        const std::string package = std::move(pending.back());
        pending.pop_back();
        if (auto names = store.packageNamesInPackage(package))
            for (const auto& name : *names)
                // The root lists ".a" (a member name with a leading ".") as "a", and "." as "".
                if (!(package.empty() && name.empty())) pending.push_back(qualify(package, name));
        if (auto names = store.classNamesInPackage(package)) {
            for (const auto& name : *names) {
                ++classes;
                const std::string className = qualify(package, name);
                const size_t linesBefore = log.lines.size();
                const auto bytes = store.dataForClassName(className);
                if (bytes) {
                    EXPECT_EQ(log.lines.size(), linesBefore);
                    const VQZipFileEntry* entry = store.entryForClassName(className);
                    EXPECT_TRUE(entry && bytes->length() == entry->length()) << className;
                } else if (store.containsClassName(className)) {
                    EXPECT_EQ(log.lines.size(), linesBefore + 1) << className;
                    if (log.lines.size() > linesBefore) {
                        EXPECT_TRUE(log.lines.back().starts_with("Exception raised reading class " +
                                                                 className + ": "))
                            << log.lines.back();
                    }
                }
            }
        }
    }
    return classes;
}

ZipBytes readBytes(const std::string& path) {
    const std::string text = testing::readFile(path);
    return ZipBytes(text.begin(), text.end());
}

void writeBytes(const std::string& path, std::span<const uint8_t> bytes) {
    testing::writeBytes(path, bytes);
}

// The committed jars made by `jar` and `zip` from the example classes: every prefix. A
// prefix that lacks part of the end record is no archive (-1 or -2, nothing reported,
// an empty store); one that keeps the end record and cuts only the archive comment
// reads in full.
TEST(VQHostileArchive, EveryPrefixOfTheExampleJars) {
    const std::filesystem::path jars = std::filesystem::path(ORNITH_SOURCE_DIR) / "examples/jars";
    const ScratchFile file("cut.jar");
    const std::string& path = file.path();
    const int descriptors = testing::openDescriptorCount();
    size_t seen = 0;
    for (const char* name : {"stored.jar", "deflated.jar", "commented.jar", "prefixed.jar"}) {
        SCOPED_TRACE(name);
        const ZipBytes whole = readBytes((jars / name).string());
        ASSERT_GT(whole.size(), 22u) << "examples/jars/" << name << " is missing";
        ++seen;

        writeBytes(path, whole);
        const Walk full = walk(path);
        ASSERT_EQ(full.result, 0);
        ASSERT_FALSE(full.members.empty());
        const size_t classes = exerciseStore(path);
        EXPECT_GE(classes, 10u);
        // Where the end record ends: the comment length is the record's last field.
        size_t endOfRecord = whole.size();
        for (size_t at = whole.size() - 22 + 1; at-- > 0;) {
            if (whole[at] == 'P' && whole[at + 1] == 'K' && whole[at + 2] == 5 &&
                whole[at + 3] == 6) {
                endOfRecord = at + 22;
                break;
            }
        }

        for (size_t length = 0; length < whole.size(); ++length) {
            SCOPED_TRACE(length);
            const std::span<const uint8_t> prefix(whole.data(), length);
            writeBytes(path, prefix);
            Tally tally;
            exerciseReader(path, length, tally);
            const Walk cut = walk(path);
            if (length >= endOfRecord) {
                EXPECT_EQ(cut.result, 0);
                EXPECT_EQ(cut.members.size(), full.members.size());
                EXPECT_EQ(tally.readFailed, 0u);
                EXPECT_EQ(exerciseStore(path), classes);
            } else {
                EXPECT_NE(cut.result, 0);
                EXPECT_TRUE(cut.members.empty());
                EXPECT_EQ(exerciseStore(path), 0u);
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
    EXPECT_EQ(seen, 4u);
    EXPECT_EQ(testing::openDescriptorCount(), descriptors);
}

// A small class file, so that the archive around it stays small enough to change every
// byte of it to every value.
std::string tinyClass(const std::string& internalName) {
    ornith::testing::ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    w.addMethod(0x0001, "<init>", "()V");
    const auto bytes = w.bytes();
    return std::string(bytes.begin(), bytes.end());
}

ZipBytes smallArchive() {
    ZipWriter zip;
    zip.add("p/", "");
    zip.add("p/A.class", tinyClass("p/A"));
    zip.add("p/B.class", tinyClass("p/B"), 8).comment = "c";
    zip.archiveComment = "z";
    return zip.bytes();
}

// Every value at every byte of a small archive with a directory, a stored and a deflated
// class, a member comment and an archive comment: the walk, every read and the parse of
// every class read; the store for the telltale values.
TEST(VQHostileArchive, EverySingleByteChangeOfASmallArchive) {
    const ScratchFile file("changed.jar");
    const std::string& path = file.path();
    ZipBytes bytes = smallArchive();
    ASSERT_LT(bytes.size(), 600u);
    const int descriptors = testing::openDescriptorCount();
    Tally tally;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t original = bytes[i];
        for (int value = 0; value < 256; ++value) {
            if (value == original) continue;
            bytes[i] = static_cast<uint8_t>(value);
            writeBytes(path, bytes);
            exerciseReader(path, bytes.size(), tally);
            // The store adds only its index over the same walk: the values that most
            // often turn a count, length, offset or name into a hostile one are enough.
            if (value == 0 || value == 0xFF || value == (original ^ 0x80) ||
                value == uint8_t(original + 1))
                exerciseStore(path);
            if (::testing::Test::HasFailure()) FAIL() << "at byte " << i << " set to " << value;
        }
        bytes[i] = original;
    }
    EXPECT_EQ(testing::openDescriptorCount(), descriptors);
    EXPECT_GT(tally.walked, 0u);
    EXPECT_GT(tally.refused, 0u);
    EXPECT_GT(tally.read, 0u);
    EXPECT_GT(tally.readFailed, 0u);
    EXPECT_GT(tally.parsed, 0u);
}

// The 64-bit walk and reads: results, bounds, and every reported member read or refused
// with the reader's own failure.
void exerciseReader64(const std::string& path) {
    struct Wide {
        std::string name;
        uint64_t location, length;
        int32_t method;
        uint64_t compressedLength;
    };
    std::vector<Wide> wide;
    VQZipArchive archive = VQZipArchive::openFile(path);
    int result = archive.readDirectory();
    if (result == 0)
        result = archive.forEachMemberWithData([&](const VQZipMember& m, uint64_t location) {
            wide.push_back(
                {std::string(m.name), location, m.length, m.compressionMethod, m.compressedLength});
            return 0;
        });
    ASSERT_TRUE(result == 0 || result == -1 || result == -2) << result;
    for (const Wide& m : wide) {
        try {
            const auto bytes = archive.readData(m.location, m.length, m.method, m.compressedLength);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(bytes->length(), m.length);
        } catch (const VQException& e) {
            EXPECT_TRUE(e.reason().starts_with("Unsupported compression type ") ||
                        e.reason().starts_with("Corrupt zip file " + path + " ("))
                << e.reason();
        }
    }
}

ZipBytes zip64Archive() {
    ZipWriter zip;
    zip.zip64 = true;
    zip.add("p/A.class", tinyClass("p/A"));
    zip.add("p/B.class", tinyClass("p/B"), 8);
    return zip.bytes();
}

ZipBytes multiReleaseJar() {
    ZipWriter zip;
    zip.add("META-INF/MANIFEST.MF", "Multi-Release: true\n");
    zip.add("p/A.class", tinyClass("p/A"));
    zip.add("META-INF/versions/11/p/A.class", tinyClass("p/A"), 8);
    zip.add("META-INF/versions/9/q/B.class", tinyClass("q/B"));
    return zip.bytes();
}

// Every prefix and telling single-byte changes of a zip64 archive and of a multi-release
// jar, through both walks, every read and the jar store at release 17.
TEST(VQHostileArchive, Zip64AndMultiReleaseSweeps) {
    const ScratchFile file("swept.jar");
    const std::string& path = file.path();
    const int descriptors = testing::openDescriptorCount();
    for (const ZipBytes& whole : {zip64Archive(), multiReleaseJar()}) {
        writeBytes(path, whole);
        const size_t classes = exerciseStore(path, 17);
        EXPECT_EQ(classes, 2u);
        Tally tally;
        for (size_t length = 0; length < whole.size(); ++length) {
            writeBytes(path, std::span<const uint8_t>(whole.data(), length));
            exerciseReader(path, length, tally);
            exerciseReader64(path);
            exerciseStore(path, 17);
            if (::testing::Test::HasFailure()) FAIL() << "prefix of " << length;
        }
        ZipBytes bytes = whole;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const uint8_t original = bytes[i];
            for (int value : {0, 0xFF, original ^ 0x80, original + 1, 0x7F}) {
                if (static_cast<uint8_t>(value) == original) continue;
                bytes[i] = static_cast<uint8_t>(value);
                writeBytes(path, bytes);
                exerciseReader(path, bytes.size(), tally);
                exerciseReader64(path);
                exerciseStore(path, 17);
                if (::testing::Test::HasFailure()) FAIL() << "at byte " << i << " set to " << value;
            }
            bytes[i] = original;
        }
        EXPECT_GT(tally.walked, 0u);
        EXPECT_GT(tally.refused, 0u);
    }
    EXPECT_EQ(testing::openDescriptorCount(), descriptors);
}

}  // namespace
}  // namespace ornith
