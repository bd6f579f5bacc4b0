#include "ornith/stores/VQJmodFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ornith/stores/zipfile.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::ScratchDirectory;
using testing::text;
using testing::ZipWriter;
using Names = std::optional<std::vector<std::string>>;

Names list(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

// The layout of a JDK module file: header, then a zip whose classes lie under classes/
// beside native code, commands, configuration and legal notices.
void writeModule(const std::string& path) {
    ZipWriter zip;
    zip.prefix = {'J', 'M', 1, 0};
    zip.add("classes/module-info.class", "module");
    zip.add("classes/java/lang/Object.class", "Object", 8);
    zip.add("classes/java/lang/String.class", "String");
    zip.add("classes/java/lang/resources/text.properties", "");
    zip.add("classes/META-INF/services/java.nio.spi", "");
    zip.add("lib/libjava.so", "");
    zip.add("lib/x/Native.class", "not ours");
    zip.add("bin/tool", "");
    zip.add("conf/security/java.policy", "");
    zip.add("legal/LICENSE", "");
    zip.writeTo(path);
}

TEST(VQJmodFileStore, IndexesOnlyTheClassesDirectory) {
    ScratchDirectory dir;
    writeModule(dir / "java.base.jmod");
    VQJmodFileStore store(dir / "java.base.jmod");
    EXPECT_EQ(store.name(), dir / "java.base.jmod");
    EXPECT_EQ(store.kindName(), "VQJmodFileStore");
    EXPECT_EQ(store.packageNamesInPackage(""), list({"java"}));
    EXPECT_EQ(store.classNamesInPackage(""), list({"module-info"}));
    EXPECT_EQ(store.classNamesInPackage("java.lang"), list({"Object", "String"}));
    EXPECT_EQ(store.packageNamesInPackage("java.lang"), list({"resources"}));
    for (const char* outside : {"lib", "lib.x", "bin", "conf", "legal", "classes", "META-INF"})
        EXPECT_FALSE(store.containsPackageName(outside)) << outside;
    EXPECT_FALSE(store.containsClassName("lib.x.Native"));
    // Deflated and stored members both come back whole.
    EXPECT_EQ(text(store.dataForClassName("java.lang.Object")), "Object");
    EXPECT_EQ(text(store.dataForClassName("java.lang.String")), "String");
    EXPECT_EQ(store.description().rfind("Jmod File: ", 0), 0u) << store.description();
    EXPECT_NE(store.description().find("Object"), std::string::npos);
}

// A module is read when first asked, not when the store is made: a class path of the
// JDK's seventy modules costs nothing until a lookup reaches one. The walk reports to the
// store directly, so it neither needs nor disturbs the process-wide registration.
TEST(VQJmodFileStore, IndexesOnFirstUseWithoutTheSharedRegistration) {
    ScratchDirectory dir;
    const std::string path = dir / "m.jmod";
    testing::writeFile(path, "JM\x01\x00 not yet an archive");
    int calls = 0;
    auto count = [](const char*, uint32_t, uint32_t, int32_t, uint32_t, void* context) {
        ++*static_cast<int*>(context);
    };
    _VQ_register_zip_archive_callback(count, &calls);

    VQJmodFileStore store(path);
    writeModule(path);  // what the first use finds is what counts
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(store.classNamesInPackage("java.lang"), list({"Object", "String"}));
        EXPECT_EQ(text(store.dataForClassName("java.lang.String")), "String");
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(_VQ_read_zip_archive(path), 0);
    EXPECT_EQ(calls, 10);  // the registration is still ours
    _VQ_register_zip_archive_callback(nullptr, nullptr);

    // Every way in starts from the index: description first, then a lookup.
    VQJmodFileStore described(path);
    EXPECT_NE(described.description().find("String"), std::string::npos);
    VQJmodFileStore asked(path);
    EXPECT_TRUE(asked.containsPackageName("java.lang.resources"));
    EXPECT_TRUE(asked.entryForClassName("module-info") != nullptr);
}

TEST(VQJmodFileStore, AcceptsOnlyRegularFilesWithItsSuffix) {
    ScratchDirectory dir;
    for (const char* name : {"a.jmod", "a.JMOD", "a.Jmod", "a.jmodx", "a.jar"})
        writeModule(dir / name);
    std::filesystem::create_directories(dir / "d.jmod");
    ASSERT_EQ(::mkfifo((dir / "f.jmod").c_str(), 0600), 0);

    EXPECT_TRUE(VQJmodFileStore::canGrokName(dir / "a.jmod"));
    EXPECT_TRUE(VQJmodFileStore::canGrokName(dir / "a.JMOD"));
    for (const char* refused : {"a.Jmod", "a.jmodx", "a.jar", "d.jmod", "f.jmod", "missing.jmod"})
        EXPECT_FALSE(VQJmodFileStore::canGrokName(dir / refused)) << refused;
}

TEST(VQJmodFileStore, IsRegisteredAfterTheLibraryKindsAndChosenForModules) {
    const auto kinds = VQClassStore::registeredClassStores();
    ASSERT_GE(kinds.size(), 5u);
    EXPECT_EQ(kinds[4], &VQJmodFileStore::storeKind);

    ScratchDirectory dir;
    writeModule(dir / "m.jmod");
    auto store = VQClassStore::classStoreForName(dir / "m.jmod");
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->kindName(), "VQJmodFileStore");
    EXPECT_TRUE(store->containsClassName("java.lang.Object"));
    // A directory named like a module is still a directory.
    std::filesystem::create_directories(dir / "d.jmod");
    auto directory = VQClassStore::classStoreForName(dir / "d.jmod");
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory->kindName(), "VQFileSystemStore");
}

TEST(VQJmodFileStore, AFileThatIsNoArchiveGivesAnEmptyStore) {
    ScratchDirectory dir;
    testing::writeFile(dir / "junk.jmod", "JM\x01\x00 this is not a zip archive at all");
    VQJmodFileStore store(dir / "junk.jmod");
    EXPECT_FALSE(store.containsPackageName(""));
    EXPECT_EQ(store.packageNamesInPackage(""), std::nullopt);
    EXPECT_EQ(store.dataForClassName("java.lang.Object"), nullptr);
}

// The JDK's own java.base module, where one is installed.
TEST(VQJmodFileStore, ReadsTheInstalledJavaBaseModule) {
    std::vector<std::string> homes;
    if (const char* home = std::getenv("JAVA_HOME")) homes.emplace_back(home);
    std::error_code error;
    for (std::filesystem::directory_iterator it("/usr/lib/jvm", error), end; !error && it != end;
         it.increment(error))
        homes.push_back(it->path().string());
    std::string jmods;
    for (const auto& home : homes) {
        if (VQIsRegularFile(home + "/jmods/java.base.jmod")) {
            jmods = home + "/jmods/java.base.jmod";
            break;
        }
    }
    if (jmods.empty()) GTEST_SKIP() << "no JDK with jmods found";
    VQJmodFileStore store(jmods);
    EXPECT_TRUE(store.containsClassName("java.lang.Object"));
    auto data = store.dataForClassName("java.lang.Object");
    ASSERT_NE(data, nullptr);
    ASSERT_GE(data->length(), 4u);
    EXPECT_EQ(data->bytes()[0], 0xCA);
    EXPECT_EQ(data->bytes()[3], 0xBE);
}

}  // namespace
}  // namespace ornith
