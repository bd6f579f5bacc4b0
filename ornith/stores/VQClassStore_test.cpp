#include "ornith/stores/VQClassStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ornith/stores/VQClassFileStore.h"
#include "ornith/stores/VQFileSystemStore.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQZipFileStore.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/StoreTestSupport.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

using testing::ScratchDirectory;

std::string kindOf(const std::shared_ptr<VQClassStore>& store) {
    return store ? store->kindName() : "(none)";
}

TEST(VQClassStoreRegistry, HoldsTheLibraryKindsInOrderFromTheStart) {
    auto kinds = VQClassStore::registeredClassStores();
    ASSERT_GE(kinds.size(), 4u);
    EXPECT_EQ(kinds[0], &VQClassFileStore::storeKind);
    EXPECT_EQ(kinds[1], &VQFileSystemStore::storeKind);
    EXPECT_EQ(kinds[2], &VQZipFileStore::storeKind);
    EXPECT_EQ(kinds[3], &VQJarFileStore::storeKind);
    EXPECT_FALSE(VQClassStore::canGrokName("anything.jar"));
}

TEST(VQClassStoreRegistry, PicksTheKindForEachEntry) {
    ScratchDirectory dir;
    testing::ZipWriter zip;
    zip.add("p/A.class", "A");
    zip.writeTo(dir / "lib.zip");
    zip.writeTo(dir / "lib.JAR");
    testing::writeFile(dir / "lib.tar", "tar");
    testing::ClassFileWriter cls;
    cls.setThisClass("p/Foo");
    testing::writeBytes(dir / "Foo.class", cls.bytes());
    testing::writeFile(dir / "Bad.class", "not a class");
    std::filesystem::create_directories(dir / "classes");
    std::filesystem::create_directories(dir / "dir.class");
    std::filesystem::create_directories(dir / "dirs/lib.zip");

    EXPECT_EQ(kindOf(VQClassStore::classStoreForName(dir / "classes")), "VQFileSystemStore");
    EXPECT_EQ(kindOf(VQClassStore::classStoreForName(dir / "lib.zip")), "VQZipFileStore");
    EXPECT_EQ(kindOf(VQClassStore::classStoreForName(dir / "lib.JAR")), "VQJarFileStore");
    auto single = VQClassStore::classStoreForName(dir / "Foo.class");
    EXPECT_EQ(kindOf(single), "VQClassFileStore");
    EXPECT_EQ(single->name(), "p.Foo");
    // The directory kind is asked before the single-class-file kind.
    EXPECT_EQ(kindOf(VQClassStore::classStoreForName(dir / "dir.class")), "VQFileSystemStore");
    EXPECT_EQ(kindOf(VQClassStore::classStoreForName(dir / "dirs/lib.zip")), "VQFileSystemStore");
    // Accepted by the single-class-file kind, which then cannot read it.
    EXPECT_EQ(VQClassStore::classStoreForName(dir / "Missing.class"), nullptr);
    EXPECT_EQ(VQClassStore::classStoreForName(dir / "missing.zip"), nullptr);
    EXPECT_EQ(VQClassStore::classStoreForName(dir / "lib.tar"), nullptr);
    EXPECT_EQ(VQClassStore::classStoreForName(""), nullptr);
    // Construction failures reach the caller.
    EXPECT_EQ(testing::reasonRaisedBy([&] { VQClassStore::classStoreForName(dir / "Bad.class"); }),
              "Not a java .class file");
}

// A host's kind: accepts names beginning with "host:", and makes a store only for some.
struct HostStore : VQClassStore {
    static const VQClassStoreKind storeKind;
    static inline int constructions = 0;
    static bool canGrokName(const std::string& name) { return name.rfind("host:", 0) == 0; }
    static std::shared_ptr<VQClassStore> storeWithName(const std::string& name) {
        ++constructions;
        if (name.find("refuse") != std::string::npos) return nullptr;
        return std::make_shared<HostStore>();
    }
    std::string kindName() const override { return "HostStore"; }
};
const VQClassStoreKind HostStore::storeKind{"HostStore", &HostStore::canGrokName,
                                            &HostStore::storeWithName};

TEST(VQClassStoreRegistry, KindsRegisteredLaterAreAskedFirst) {
    VQClassStore::registerClassStore<HostStore>();
    const auto kinds = VQClassStore::registeredClassStores();
    const auto position =
        std::find(kinds.begin(), kinds.end(), &HostStore::storeKind) - kinds.begin();
    ASSERT_GE(position, 4);

    // A second registration changes nothing, its position included.
    VQClassStore::registerClassStore(&HostStore::storeKind);
    VQClassStore::registerClassStore<VQZipFileStore>();
    VQClassStore::registerClassStore(nullptr);
    EXPECT_EQ(VQClassStore::registeredClassStores(), kinds);

    // Asked before the library's own kinds, even for a name ending in ".class".
    EXPECT_EQ(kindOf(VQClassStore::classStoreForName("host:Foo.class")), "HostStore");
    // Its refusal stands: no later kind is asked.
    const int before = HostStore::constructions;
    EXPECT_EQ(VQClassStore::classStoreForName("host:refuse.class"), nullptr);
    EXPECT_EQ(HostStore::constructions, before + 1);
}

TEST(VQClassStore, OperationsAKindLacksRaise) {
    HostStore store;
    struct Case {
        const char* operation;
        std::function<void()> call;
    };
    const std::vector<Case> cases{
        {"name", [&] { (void)store.name(); }},
        {"classNamesInPackage", [&] { (void)store.classNamesInPackage("p"); }},
        {"packageNamesInPackage", [&] { (void)store.packageNamesInPackage("p"); }},
        {"containsClassName", [&] { (void)store.containsClassName("p.A"); }},
        {"containsPackageName", [&] { (void)store.containsPackageName("p"); }},
        {"dataForClassName", [&] { (void)store.dataForClassName("p.A"); }},
    };
    for (const auto& c : cases) {
        std::string name;
        EXPECT_EQ(
            testing::reasonRaisedBy(c.call, &name),
            std::string("HostStore does not implement the class store operation ") + c.operation);
        EXPECT_EQ(name, "InvalidArgumentException");
    }
}

}  // namespace
}  // namespace ornith
