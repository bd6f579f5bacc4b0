// Class paths made of hostile archives: whatever their member names, walking every class
// of the class path ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQJavaPackage.h"
#include "ornith/testing/ZipWriter.h"

namespace ornith {
namespace {

// A member named "./" (or ".") is indexed as the package "." under the root, listed there
// with the empty name, which qualifies to the root itself: the class-name walk once
// entered the root again and again, growing without bound.
TEST(VQLibraryHostileInput, AnEmptyPackageNameUnderTheRootIsNotWalkedAgain) {
    const std::string path =
        ::testing::TempDir() + "ornith_library_dot_" + std::to_string(::getpid()) + ".jar";
    testing::ZipWriter zip;
    zip.add("./", "");
    zip.add(".", "");
    zip.add("p/C.class", "not read by the walk");
    zip.add("D.class", "nor this");
    zip.writeTo(path);

    const auto library = VQClassLibrary::classLibraryWithClassPath(path);
    const auto root = library->packageWithName(std::string_view());
    ASSERT_NE(root, nullptr);
    std::vector<std::string> names;
    const auto enumerator = root->classNameEnumerator();
    for (const std::string& name : *enumerator) {
        names.push_back(name);
        ASSERT_LT(names.size(), 10u) << "the walk does not end";
    }
    std::filesystem::remove(path);
    EXPECT_EQ(names, (std::vector<std::string>{"p.C", "D"}));
}

}  // namespace
}  // namespace ornith
