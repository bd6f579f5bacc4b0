// Multi-release jars through the jar store: base, versioned and versioned-only classes at
// releases 8, 11 and 17, and what the specified default (no release) answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQJarManifest.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::LogCapture;
using testing::ScratchDirectory;
using testing::text;
using testing::ZipWriter;
using Names = std::optional<std::vector<std::string>>;

Names list(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

std::string writeMultiReleaseJar(const ScratchDirectory& dir, const char* manifest) {
    ZipWriter zip;
    zip.add("META-INF/MANIFEST.MF", manifest, 8);
    zip.add("p/", "");
    zip.add("p/Base.class", "base Base");
    zip.add("p/Util.class", "base Util", 8);
    zip.add("META-INF/versions/9/p/Util.class", "9 Util");
    zip.add("META-INF/versions/10/p/Util.class", "10 Util", 8);
    zip.add("META-INF/versions/11/p/Only11.class", "11 Only11");
    zip.add("META-INF/versions/11/q/New.class", "11 New");
    zip.add("META-INF/versions/17/p/Util.class", "17 Util");
    zip.add("META-INF/versions/8/p/Util.class", "8 is no versioned release");
    zip.add("META-INF/versions/x/p/Util.class", "not a release");
    zip.add("META-INF/versions/11/META-INF/Z.class", "never");
    const std::string path = dir / "mr.jar";
    zip.writeTo(path);
    return path;
}

std::shared_ptr<VQZipFileStore> storeAt(const std::string& path, int release) {
    auto store = std::static_pointer_cast<VQZipFileStore>(VQJarFileStore::storeWithName(path));
    store->setOptions({release, nullptr});
    return store;
}

constexpr const char* kManifest = "Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n";

TEST(VQMultiReleaseJar, TheHighestVersionUpToTheRelease) {
    ScratchDirectory dir;
    const std::string path = writeMultiReleaseJar(dir, kManifest);
    struct Row {
        int release;
        const char* util;
        bool only11;
    } rows[] = {{0, "base Util", false}, {8, "base Util", false}, {9, "9 Util", false},
                {11, "10 Util", true},   {17, "17 Util", true},   {25, "17 Util", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.release);
        auto store = storeAt(path, row.release);
        EXPECT_EQ(text(store->dataForClassName("p.Util")), row.util);
        EXPECT_EQ(text(store->dataForClassName("p.Base")), "base Base");
        EXPECT_EQ(store->containsClassName("p.Only11"), row.only11);
        EXPECT_EQ(store->containsPackageName("q"), row.only11);
        if (row.only11) {
            EXPECT_EQ(text(store->dataForClassName("p.Only11")), "11 Only11");
            EXPECT_EQ(text(store->dataForClassName("q.New")), "11 New");
            // Listed once, in place for versions of base classes, after them otherwise.
            EXPECT_EQ(store->classNamesInPackage("p"), list({"Base", "Util", "Only11"}));
        } else {
            EXPECT_EQ(store->classNamesInPackage("p"), list({"Base", "Util"}));
        }
        // Nothing under META-INF appears as a package.
        EXPECT_FALSE(store->containsPackageName("META-INF"));
        EXPECT_FALSE(store->containsPackageName("META-INF.versions"));
    }
}

TEST(VQMultiReleaseJar, OnlyWhenTheManifestSaysSo) {
    ScratchDirectory dir;
    for (const char* manifest :
         {"Manifest-Version: 1.0\n", "Manifest-Version: 1.0\n\nMulti-Release: true\n",
          "Multi-Release: false\n"}) {
        SCOPED_TRACE(manifest);
        auto store = storeAt(writeMultiReleaseJar(dir, manifest), 17);
        EXPECT_EQ(text(store->dataForClassName("p.Util")), "base Util");
        EXPECT_FALSE(store->containsClassName("p.Only11"));
        EXPECT_FALSE(store->isMultiRelease());
    }
    auto store = storeAt(writeMultiReleaseJar(dir, "multi-release:   TRUE  \n"), 17);
    // The value is compared as it stands after ": ": "  TRUE  " is not "true".
    EXPECT_FALSE(store->isMultiRelease());
}

TEST(VQMultiReleaseJar, ChangingTheReleaseIndexesAnew) {
    ScratchDirectory dir;
    auto store = storeAt(writeMultiReleaseJar(dir, kManifest), 0);
    EXPECT_EQ(text(store->dataForClassName("p.Util")), "base Util");
    store->setOptions({11, nullptr});
    EXPECT_EQ(text(store->dataForClassName("p.Util")), "10 Util");
    EXPECT_TRUE(store->containsClassName("q.New"));
}

TEST(VQMultiReleaseJar, AnOversizedManifestIsIgnoredWithOneLine) {
    ScratchDirectory dir;
    ZipWriter zip;
    // Declared larger than a manifest may be; its bytes are never read.
    zip.add("META-INF/MANIFEST.MF", kManifest).declaredLength = (16u << 20) + 1;
    zip.add("p/Util.class", "base Util");
    zip.add("META-INF/versions/11/p/Util.class", "11 Util");
    zip.writeTo(dir / "big.jar");
    LogCapture log;
    auto store = storeAt(dir / "big.jar", 17);
    EXPECT_EQ(text(store->dataForClassName("p.Util")), "base Util");
    EXPECT_TRUE(store->manifestClassPath().empty());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(log.lines[0].starts_with("Ignoring the manifest of " + (dir / "big.jar")))
        << log.lines[0];
}

TEST(VQMultiReleaseJar, ManifestClassPathAsWritten) {
    ScratchDirectory dir;
    ZipWriter zip;
    zip.add("meta-inf/manifest.mf", "Class-Path: a.jar\n  b.jar\n");
    zip.add("p/A.class", "a");
    zip.writeTo(dir / "cp.jar");
    const VQJarFileStore store(dir / "cp.jar");
    EXPECT_EQ(store.manifestClassPath(), (std::vector<std::string>{"a.jar", "b.jar"}));
}

}  // namespace
}  // namespace ornith
