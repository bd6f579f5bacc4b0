#include "ornith/stores/VQJarManifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ornith {
namespace {

VQJarManifest manifest(std::string_view text) {
    return VQJarManifest(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

using Strings = std::vector<std::string>;

TEST(VQJarManifest, ReadsTheMainSectionOnly) {
    const auto m = manifest(
        "Manifest-Version: 1.0\r\nmulti-release: TRUE\r\nClass-Path: a.jar\r\n  lib/b.jar\r\n"
        " c.jar\r\n\r\nName: p/C.class\r\nClass-Path: ignored.jar\r\n");
    EXPECT_TRUE(m.isMultiRelease());
    // A continuation line joins without its leading space: "a.jar" + " lib/b.jar" + "c.jar".
    EXPECT_EQ(m.mainAttribute("CLASS-PATH"), "a.jar lib/b.jarc.jar");
    EXPECT_EQ(m.classPath(), (Strings{"a.jar", "lib/b.jarc.jar"}));
    EXPECT_EQ(m.mainAttribute("Name"), std::nullopt);
}

TEST(VQJarManifest, LineEndsAndOddLines) {
    EXPECT_TRUE(manifest("A: 1\nMulti-Release: true").isMultiRelease());
    EXPECT_TRUE(manifest("A: 1\rMulti-Release:true\r").isMultiRelease());
    EXPECT_FALSE(manifest("Multi-Release: false\n").isMultiRelease());
    EXPECT_FALSE(manifest("\nMulti-Release: true\n").isMultiRelease());
    EXPECT_FALSE(manifest("Multi-Release: truely\n").isMultiRelease());
    // The last of two counts; a line that is no attribute takes no continuation.
    EXPECT_TRUE(manifest("Multi-Release: false\nMulti-Release: true\n").isMultiRelease());
    EXPECT_EQ(manifest("junk\n more\nX: y\n").mainAttribute("X"), "y");
    EXPECT_EQ(manifest(" orphan\n").mainAttribute("orphan"), std::nullopt);
    EXPECT_TRUE(manifest("").classPath().empty());
    EXPECT_EQ(manifest("Class-Path:   a  b   \n").classPath(), (Strings{"a", "b"}));
}

TEST(VQJarManifest, LargeInputsStayLinear) {
    std::string huge = "Class-Path:";
    for (int i = 0; i < 1000000; ++i) huge += " x.jar";
    EXPECT_EQ(manifest(huge).classPath().size(), 1000000u);
    std::string longLine = "X: " + std::string(50 << 20, 'v');
    EXPECT_EQ(manifest(longLine).mainAttribute("x")->size(), size_t{50} << 20);
}

TEST(VQJarManifest, ResolvesEntriesAsURLs) {
    const std::string jar = "/opt/app/lib/main.jar";
    EXPECT_EQ(VQResolveClassPathEntry(jar, "dep.jar"), "/opt/app/lib/dep.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "../ext/dep.jar"), "/opt/app/ext/dep.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "./a/./b/../c.jar"), "/opt/app/lib/a/c.jar");
    // ".." never climbs above the root.
    EXPECT_EQ(VQResolveClassPathEntry(jar, "../../../../../../etc/x.jar"), "/etc/x.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "/abs/x.jar"), "/abs/x.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "file:/abs/with%20space.jar"), "/abs/with space.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "file:///abs/x.jar"), "/abs/x.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "file://localhost/abs/x.jar"), "/abs/x.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "FILE:rel.jar"), "/opt/app/lib/rel.jar");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "classes/"), "/opt/app/lib/classes/");
    EXPECT_EQ(VQResolveClassPathEntry(jar, "a%2"), "/opt/app/lib/a%2");
    // Other schemes and other hosts name nothing here.
    EXPECT_EQ(VQResolveClassPathEntry(jar, "http://example.com/x.jar"), std::nullopt);
    EXPECT_EQ(VQResolveClassPathEntry(jar, "file://server/x.jar"), std::nullopt);
    EXPECT_EQ(VQResolveClassPathEntry(jar, "a%00b.jar"), std::nullopt);
    EXPECT_EQ(VQResolveClassPathEntry(jar, ""), std::nullopt);
}

}  // namespace
}  // namespace ornith
