#include "ornith/stores/VQRuntimeImageStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ornith/base/VQEndian.h"
#include "ornith/stores/VQJmodFileStore.h"
#include "ornith/testing/ImageWriter.h"
#include "ornith/testing/StoreTestSupport.h"

namespace ornith {
namespace {

using testing::ImageBytes;
using testing::ImageWriter;
using testing::LogCapture;
using testing::reasonRaisedBy;
using testing::ScratchDirectory;
using testing::text;
using testing::writeBytes;

// Two modules sharing the package java.lang (as java.base and java.instrument do), a
// module-info per module, a nested class, a zip-compressed class, and a resource that
// is no class.
ImageWriter sampleImage() {
    ImageWriter w;
    w.add("java.base", "module-info.class", "base module-info");
    w.add("java.base", "java/lang/Object.class", "Object bytes");
    w.add("java.base", "java/lang/String.class", std::string(5000, 'S'), "zip");
    w.add("java.base", "java/util/Map$Entry.class", "Entry bytes");
    w.add("java.base", "java/util/Map.class", "Map bytes");
    w.add("java.base", "java/lang/uniName.properties", "not a class");
    w.add("java.instrument", "module-info.class", "instrument module-info");
    w.add("java.instrument", "java/lang/instrument/Instrumentation.class", "Instr bytes");
    w.add("java.instrument", "java/lang/Zed.class", "Zed bytes");
    return w;
}

std::string writeImage(const ScratchDirectory& dir, const ImageBytes& bytes,
                       const std::string& name = "modules") {
    const std::string path = dir / name;
    writeBytes(path, bytes);
    return path;
}

using Names = std::vector<std::string>;

// Every question a store answers, for the sweeps: none may crash, hang or read outside.
void askEverything(const VQClassStore& store) {
    for (const char* c : {"java.lang.Object", "java.lang.String", "java.util.Map$Entry",
                          "java.lang.instrument.Instrumentation", "java.lang.Zed", "module-info",
                          "java.lang.Missing"}) {
        (void)store.containsClassName(c);
        (void)store.dataForClassName(c);
    }
    for (const char* p : {"", "java", "java.lang", "java.util", "java.lang.instrument", "nope"}) {
        (void)store.containsPackageName(p);
        (void)store.classNamesInPackage(std::string_view(p));
        (void)store.packageNamesInPackage(std::string_view(p));
    }
    if (auto* image = dynamic_cast<const VQRuntimeImageStore*>(&store)) {
        (void)image->moduleNames();
        for (const std::string& name : image->resourceNames())
            (void)image->dataForResourceName(name);
    }
}

TEST(VQRuntimeImageStore, FindsClassesInEveryModuleThroughTheHashTable) {
    ScratchDirectory dir;
    for (const bool bigEndian : {false, true}) {
        ImageWriter w = sampleImage();
        w.bigEndian = bigEndian;
        VQRuntimeImageStore store(writeImage(dir, w.bytes()));
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        EXPECT_EQ(store.name(), dir / "modules");
        EXPECT_EQ(store.kindName(), "VQRuntimeImageStore");
        EXPECT_EQ(text(store.dataForClassName("java.lang.Object")), "Object bytes");
        EXPECT_EQ(text(store.dataForClassName("java.lang.String")), std::string(5000, 'S'));
        EXPECT_EQ(text(store.dataForClassName("java.util.Map$Entry")), "Entry bytes");
        // The package java.lang is split over two modules: both are searched.
        EXPECT_EQ(text(store.dataForClassName("java.lang.Zed")), "Zed bytes");
        EXPECT_EQ(store.moduleNameForClassName("java.lang.Zed"), "java.instrument");
        EXPECT_EQ(store.moduleNameForClassName("java.lang.Object"), "java.base");
        // A package's module is the first in image order that holds its resources.
        EXPECT_EQ(store.moduleNameForPackageName("java.lang"), "java.base");
        EXPECT_EQ(store.moduleNameForPackageName("java.lang.instrument"), "java.instrument");
        for (const char* none : {"java.missing", "", "java/lang", "java.lang."})
            EXPECT_EQ(store.moduleNameForPackageName(none), std::nullopt) << none;
        EXPECT_TRUE(store.containsClassName("java.lang.instrument.Instrumentation"));
        // Not classes: a missing name, a resource of another kind, a module's module-info
        // (under any name), names that are paths.
        for (const char* absent :
             {"java.lang.Missing", "java.lang.uniName", "module-info", "java.base.module-info",
              "java/lang/Object", "java.lang.", ".Object", "", "java.lang.Object.class"}) {
            EXPECT_FALSE(store.containsClassName(absent)) << absent;
            EXPECT_EQ(store.dataForClassName(absent), nullptr) << absent;
        }
        EXPECT_FALSE(store.containsClassName(std::string_view("java.lang.Object\0x", 18)));
        EXPECT_EQ(store.moduleNames(), (Names{"java.base", "java.instrument"}));
    }
}

TEST(VQRuntimeImageStore, ListsPackagesAndClassesFromItsDirectoriesSorted) {
    ScratchDirectory dir;
    VQRuntimeImageStore store(writeImage(dir, sampleImage().bytes()));
    EXPECT_EQ(store.classNamesInPackage(std::string_view("java.lang")),
              (Names{"Object", "String", "Zed"}));
    EXPECT_EQ(store.classNamesInPackage(std::string_view("java.util")),
              (Names{"Map", "Map$Entry"}));
    // An intermediate package holds no classes of its own; the root none at all (the
    // module-info files are in no package).
    EXPECT_EQ(store.classNamesInPackage(std::string_view("java")), Names{});
    EXPECT_EQ(store.classNamesInPackage(std::string_view("")), Names{});
    EXPECT_EQ(store.classNamesInPackage(std::string_view("nope")), std::nullopt);
    EXPECT_EQ(store.classNamesInPackage(std::nullopt), std::nullopt);

    EXPECT_EQ(store.packageNamesInPackage(std::string_view("")), Names{"java"});
    EXPECT_EQ(store.packageNamesInPackage(std::string_view("java")), (Names{"lang", "util"}));
    EXPECT_EQ(store.packageNamesInPackage(std::string_view("java.lang")), Names{"instrument"});
    EXPECT_EQ(store.packageNamesInPackage(std::string_view("java.util")), Names{});
    EXPECT_EQ(store.packageNamesInPackage(std::string_view("jav")), std::nullopt);

    for (const char* p : {"", "java", "java.lang", "java.lang.instrument", "java.util"})
        EXPECT_TRUE(store.containsPackageName(p)) << p;
    for (const char* p : {"jav", "java.lang.Object", "java/lang", "java.lang."})
        EXPECT_FALSE(store.containsPackageName(p)) << p;
}

TEST(VQRuntimeImageStore, ResourceNamesAreTheImagesFullNames) {
    ScratchDirectory dir;
    VQRuntimeImageStore store(writeImage(dir, sampleImage().bytes()));
    const Names names = store.resourceNames();
    for (const char* expected :
         {"/java.base/java/lang/Object.class", "/java.base/module-info.class", "/packages",
          "/packages/java.lang", "/modules/java.base/java/lang", "/modules",
          "/java.base/java/lang/uniName.properties"})
        EXPECT_TRUE(std::binary_search(names.begin(), names.end(), expected)) << expected;
    EXPECT_EQ(store.resourceCount(), names.size());
    EXPECT_EQ(text(store.dataForResourceName("/java.base/module-info.class")), "base module-info");
    EXPECT_EQ(text(store.dataForResourceName("/java.base/java/lang/uniName.properties")),
              "not a class");
    EXPECT_EQ(store.dataForResourceName("/java.base/java/lang/Nope.class"), nullptr);
}

TEST(VQRuntimeImageStore, IsChosenForAFileNamedModulesAndRefusesOtherFilesOfThatName) {
    ScratchDirectory dir;
    const std::string image = writeImage(dir, sampleImage().bytes());
    auto store = VQClassStore::classStoreForName(image);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->kindName(), "VQRuntimeImageStore");
    // Registered after the module store, so asked before it.
    const auto kinds = VQClassStore::registeredClassStores();
    const auto imageKind = std::find(kinds.begin(), kinds.end(), &VQRuntimeImageStore::storeKind);
    const auto jmod = std::find(kinds.begin(), kinds.end(), &VQJmodFileStore::storeKind);
    ASSERT_NE(imageKind, kinds.end());
    EXPECT_GT(imageKind, jmod);
    EXPECT_TRUE(VQRuntimeImageStore::canGrokName(image));
    // Only the name "modules", and only a regular file: a directory of that name is a
    // directory store's, and other names are not images even when their bytes are.
    std::filesystem::create_directories(dir / "sub/modules");
    EXPECT_FALSE(VQRuntimeImageStore::canGrokName(dir / "sub/modules"));
    EXPECT_EQ(VQClassStore::classStoreForName(dir / "sub/modules")->kindName(),
              "VQFileSystemStore");
    writeBytes(dir / "modules.bak", sampleImage().bytes());
    EXPECT_FALSE(VQRuntimeImageStore::canGrokName(dir / "modules.bak"));
    EXPECT_FALSE(VQRuntimeImageStore::canGrokName(dir / "missing/modules"));

    testing::writeFile(dir / "junk/modules", "this is no image at all, but long enough");
    EXPECT_EQ(reasonRaisedBy([&] { VQClassStore::classStoreForName(dir / "junk/modules"); }),
              "not a runtime image (bad magic)");
    testing::writeFile(dir / "short/modules", "\xDA\xDA\xFE\xCA");
    EXPECT_EQ(reasonRaisedBy([&] { VQClassStore::classStoreForName(dir / "short/modules"); }),
              "not a runtime image (too short for its header)");
    ImageWriter future = sampleImage();
    future.version = 0x00020000;
    writeBytes(dir / "v2/modules", future.bytes());
    EXPECT_EQ(reasonRaisedBy([&] { VQClassStore::classStoreForName(dir / "v2/modules"); }),
              "runtime image version 2.0 not supported");
    ImageBytes cut = sampleImage().bytes();
    cut.resize(100);
    writeBytes(dir / "cut/modules", cut);
    EXPECT_EQ(reasonRaisedBy([&] { VQClassStore::classStoreForName(dir / "cut/modules"); }),
              "runtime image truncated (index beyond the file)");
}

TEST(VQRuntimeImageStore, NamesBeyondTheBasicPlaneAreModifiedUtf8InTheImageAndUtf8Outside) {
    ScratchDirectory dir;
    // U+1F600 is F0 9F 98 80 in UTF-8; the image keeps it as the surrogates D83D DE00,
    // ED A0 BD ED B8 80, and hashes those bytes.
    const std::string utf8 = "Gr\xF0\x9F\x98\x80", modified = "Gr\xED\xA0\xBD\xED\xB8\x80";
    ImageWriter w;
    w.add("m", "p/" + modified + ".class", "smiling");
    w.add("m", "p/\xC3\xA9t\xC3\xA9.class", "summer");  // two-byte characters are the same in both
    VQRuntimeImageStore store(writeImage(dir, w.bytes()));
    EXPECT_EQ(text(store.dataForClassName("p." + utf8)), "smiling");
    EXPECT_EQ(text(store.dataForClassName("p.\xC3\xA9t\xC3\xA9")), "summer");
    EXPECT_EQ(store.classNamesInPackage(std::string_view("p")), (Names{utf8, "\xC3\xA9t\xC3\xA9"}));
    const Names names = store.resourceNames();
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), "/m/p/" + utf8 + ".class"));
}

TEST(VQRuntimeImageStore, AnUnsupportedCompressionIsAbsentWithOneLineNamingIt) {
    ScratchDirectory dir;
    ImageWriter w;
    w.add("m", "p/Shared.class", "string-shared bytes", "compact-cp");
    w.add("m", "p/Plain.class", "plain");
    VQRuntimeImageStore store(writeImage(dir, w.bytes()));
    LogCapture log;
    EXPECT_EQ(store.dataForClassName("p.Shared"), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("p.Shared"), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find("'compact-cp'"), std::string::npos) << log.lines[0];
    // The class is still there: listed and contained, only its bytes cannot be had.
    EXPECT_TRUE(store.containsClassName("p.Shared"));
    EXPECT_EQ(text(store.dataForClassName("p.Plain")), "plain");
    EXPECT_EQ(log.lines.size(), 1u);
}

// ---- Hostile images ----

uint32_t load32(const ImageBytes& b, size_t at) {
    return VQLoadLE32(b.data() + at);
}
void store32(ImageBytes& b, size_t at, uint32_t v) {
    VQStoreLE32(b.data() + at, v);
}

TEST(VQRuntimeImageStore, RedirectsAndOffsetsThatPointOutsideAnswerAbsent) {
    ScratchDirectory dir;
    ImageWriter::Layout layout;
    const ImageBytes good = sampleImage().bytes(&layout);
    const std::string name = "/java.base/java/lang/Object.class";
    const uint32_t bucket = ImageWriter::hash(name) % layout.tableLength;
    const size_t redirectAt = layout.redirect + 4 * size_t{bucket};

    for (const uint32_t lie : {0x80000000u, 0xFFFFFFFFu - layout.tableLength, 0x7FFFFFFFu, 0u}) {
        ImageBytes bad = good;
        store32(bad, redirectAt, lie);
        VQRuntimeImageStore store(writeImage(dir, bad));
        EXPECT_EQ(store.dataForClassName("java.lang.Object"), nullptr) << lie;
        askEverything(store);
    }
    // Every slot of the offsets table pointing past the locations, or at the last byte.
    for (const uint32_t lie :
         {0xFFFFFFFFu, static_cast<uint32_t>(layout.strings - layout.locations),
          static_cast<uint32_t>(layout.strings - layout.locations - 1)}) {
        ImageBytes bad = good;
        for (uint32_t slot = 0; slot < layout.tableLength; ++slot)
            store32(bad, layout.offsets + 4 * size_t{slot}, lie);
        VQRuntimeImageStore store(writeImage(dir, bad));
        EXPECT_FALSE(store.containsClassName("java.lang.Object"));
        EXPECT_FALSE(store.containsPackageName("java"));
        // At most the empty name of a location made of its end mark alone.
        for (const std::string& listed : store.resourceNames()) EXPECT_EQ(listed, "");
        askEverything(store);
    }
    // The string table without its final NUL: the last string runs off the table.
    {
        ImageBytes bad = good;
        bad[layout.contents - 1] = 'x';
        VQRuntimeImageStore store(writeImage(dir, bad));
        askEverything(store);
    }
}

TEST(VQRuntimeImageStore, ContentsThatLieAboutTheirPlaceOrLengthAreLoggedAndAbsent) {
    ScratchDirectory dir;
    ImageWriter w;
    w.add("m", "p/A.class", "AAAA");
    w.add("m", "p/Z.class", std::string(3000, 'z'), "zip");
    ImageWriter::Layout layout;
    const ImageBytes good = w.bytes(&layout);
    // Content offsets past the end of the file, and a declared inflated length far
    // beyond what deflate can make of the payload.
    ImageBytes farAway = good;
    farAway.resize(good.size() - 1);  // the last resource now ends past the file
    {
        VQRuntimeImageStore store(writeImage(dir, farAway));
        LogCapture log;
        askEverything(store);
    }
    ImageBytes bomb = good;
    // The compressed header of p/Z sits at its content offset; its inflated length is at
    // bytes 12..19 of that header.
    const size_t zAt = layout.contents;  // p/A's 4 bytes come first
    ASSERT_EQ(load32(bomb, zAt + 4), 0xCAFEFAFAu);
    VQStoreLE64(bomb.data() + zAt + 4 + 12, uint64_t{1} << 40);
    {
        VQRuntimeImageStore store(writeImage(dir, bomb));
        LogCapture log;
        EXPECT_EQ(store.dataForClassName("p.Z"), nullptr);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_NE(log.lines[0].find("inflated length"), std::string::npos) << log.lines[0];
        EXPECT_EQ(text(store.dataForClassName("p.A")), "AAAA");
    }
}

// Small enough to sweep: one module, a plain and a compressed class, a module-info.
ImageWriter sweepImage() {
    ImageWriter w;
    w.add("java.base", "module-info.class", "mi");
    w.add("java.base", "java/lang/Object.class", "Object bytes");
    w.add("java.base", "java/lang/String.class", std::string(300, 'S'), "zip");
    return w;
}

TEST(VQRuntimeImageStore, EveryPrefixOfAnImageIsRefusedOrAnswersSafely) {
    ScratchDirectory dir;
    const ImageBytes good = sweepImage().bytes();
    LogCapture log;
    size_t refused = 0;
    for (size_t length = 0; length < good.size(); ++length) {
        const ImageBytes prefix(good.begin(), good.begin() + static_cast<long>(length));
        std::shared_ptr<VQRuntimeImageStore> store;
        try {
            store = std::make_shared<VQRuntimeImageStore>(writeImage(dir, prefix));
        } catch (const VQInvalidArgumentException&) {
            ++refused;
            continue;
        }
        askEverything(*store);
        // Every resource whose bytes are cut answers absent, never a partial buffer.
        if (auto data = store->dataForClassName("java.lang.Object")) {
            EXPECT_EQ(text(data), "Object bytes");
        }
    }
    EXPECT_GT(refused, 0u);
}

TEST(VQRuntimeImageStore, EverySingleByteChangeAnswersSafely) {
    ScratchDirectory dir;
    const ImageBytes good = sweepImage().bytes();
    LogCapture log;
    for (size_t at = 0; at < good.size(); ++at) {
        for (const uint8_t value : {uint8_t(good[at] ^ 0xFF), uint8_t(0x80)}) {
            ImageBytes bad = good;
            bad[at] = value;
            try {
                VQRuntimeImageStore store(writeImage(dir, bad));
                askEverything(store);
            } catch (const VQInvalidArgumentException&) {
            }
        }
    }
}

TEST(VQRuntimeImageStore, AFileThatShrinksUnderTheStoreGivesAbsentAnswers) {
    ScratchDirectory dir;
    ImageWriter::Layout layout;
    const std::string path = writeImage(dir, sampleImage().bytes(&layout));
    VQRuntimeImageStore store(path);
    ASSERT_TRUE(store.containsClassName("java.lang.Object"));
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(layout.contents)), 0);
    LogCapture log;
    // The index was read at construction: questions it answers still work; contents,
    // and listings that need the directories' contents, are gone.
    EXPECT_TRUE(store.containsClassName("java.lang.Object"));
    EXPECT_EQ(store.dataForClassName("java.lang.Object"), nullptr);
    EXPECT_FALSE(log.lines.empty());
}

// ---- Real images, where this machine has them ----

std::vector<std::string> jdkHomes() {
    std::vector<std::string> homes;
    if (const char* home = std::getenv("JAVA_HOME"); home && *home) homes.emplace_back(home);
    std::error_code error;
    for (std::filesystem::directory_iterator it("/usr/lib/jvm", error), end; !error && it != end;
         it.increment(error))
        if (!it->is_symlink()) {
            homes.push_back(it->path().string());
        }
    std::vector<std::string> withImage;
    for (const auto& home : homes)
        if (VQIsRegularFile(home + "/lib/modules")) withImage.push_back(home);
    return withImage;
}

TEST(VQRuntimeImageStore, ReadsTheRuntimeImagesOfTheJdksOnThisMachine) {
    const auto homes = jdkHomes();
    if (homes.empty()) GTEST_SKIP() << "no JDK with lib/modules here";
    for (const std::string& home : homes) {
        SCOPED_TRACE(home);
        VQRuntimeImageStore store(home + "/lib/modules");
        const auto object = store.dataForClassName("java.lang.Object");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(VQLoadBE32(object->bytes()), 0xCAFEBABEu);
        EXPECT_EQ(store.moduleNameForClassName("java.lang.Object"), "java.base");
        const auto lang = store.classNamesInPackage(std::string_view("java.lang"));
        ASSERT_TRUE(lang);
        EXPECT_TRUE(std::binary_search(lang->begin(), lang->end(), "String"));
        EXPECT_TRUE(std::binary_search(lang->begin(), lang->end(), "Map") == false);
        // java.lang.instrument lives in another module than java.lang.
        EXPECT_EQ(store.moduleNameForClassName("java.lang.instrument.Instrumentation"),
                  "java.instrument");
        // Every class of java.util is found by name and read.
        const auto util = store.classNamesInPackage(std::string_view("java.util"));
        ASSERT_TRUE(util);
        for (const std::string& name : *util)
            EXPECT_NE(store.dataForClassName("java.util." + name), nullptr) << name;
    }
}

// A jlinked runtime with zip-compressed resources: every file that `jimage extract` writes
// is found, by its resource name and (for classes) by its class name, with the same bytes.
// Takes several seconds; runs only where jlink is.
TEST(VQRuntimeImageStore, ACompressedJlinkedImageGivesWhatJimageExtracts) {
    std::string jdk;
    for (const std::string& home : jdkHomes())
        if (::access((home + "/bin/jlink").c_str(), X_OK) == 0 &&
            ::access((home + "/bin/jimage").c_str(), X_OK) == 0)
            jdk = home;
    if (jdk.empty()) GTEST_SKIP() << "no jlink here";
    ScratchDirectory dir;
    const std::string output = dir / "runtime", extracted = dir / "extracted";
    // zip-6 is the name from JDK 21 on; 2 the older one for the same zip compression.
    const std::string jlink = "'" + jdk + "/bin/jlink' --add-modules java.logging --output '" +
                              output + "' >/dev/null 2>&1 --compress=";
    if (std::system((jlink + "zip-6").c_str()) != 0) {
        std::filesystem::remove_all(output);
        ASSERT_EQ(std::system((jlink + "2").c_str()), 0);
    }
    ASSERT_EQ(std::system(("'" + jdk + "/bin/jimage' extract --dir '" + extracted + "' '" + output +
                           "/lib/modules'")
                              .c_str()),
              0);
    VQRuntimeImageStore linked(output + "/lib/modules");
    size_t files = 0, classes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(extracted)) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = entry.path().lexically_relative(extracted).string();
        const std::string expected = testing::readFile(entry.path().string());
        ASSERT_EQ(text(linked.dataForResourceName("/" + relative)), expected) << relative;
        ++files;
        // module/java/util/logging/Logger.class → java.util.logging.Logger
        const size_t slash = relative.find('/');
        std::string path = relative.substr(slash + 1);
        if (!path.ends_with(".class") || path.find('/') == std::string::npos) continue;
        path.resize(path.size() - 6);
        std::replace(path.begin(), path.end(), '/', '.');
        ASSERT_EQ(text(linked.dataForClassName(path)), expected) << path;
        ++classes;
    }
    EXPECT_GT(classes, 5000u);
    EXPECT_GT(files, classes);
    const auto logging = linked.classNamesInPackage(std::string_view("java.util.logging"));
    ASSERT_TRUE(logging);
    EXPECT_TRUE(std::binary_search(logging->begin(), logging->end(), "Logger"));
}

}  // namespace
}  // namespace ornith
