// The compact sorted list of class names that `list -r` and `describe --all` walk.

#include "SortedClassNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace ornith::tool {
namespace {

std::vector<std::string> namesOf(SortedClassNames& names) {
    std::vector<std::string> out;
    for (size_t i = 0; i < names.size(); ++i) out.push_back(names[i]);
    return out;
}

TEST(SortedClassNames, SortsAsTheWholeStringsSortAcrossPackages) {
    // Packages interleave with the classes of their parents (p.A < p.a.B < p.b), a class
    // may share a package's name, bytes above 0x7F sort last, and the root package has
    // no prefix.
    std::vector<std::string> input = {
        "p.b",   "p.a.B", "p.A",     "p.a",
        "p.ab",  "p.a$1", "Top",     "p.\xC3\xA9t\xC3\xA9",
        "p.a.a", "q.Z",   "p.a.B$C", "java.lang.Object",
        "p.a0",  "A",     "p.a.B",
    };
    SortedClassNames names;
    for (const std::string& name : input) names.add(name);
    names.sort();
    std::vector<std::string> expected = input;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesOf(names), expected);
}

TEST(SortedClassNames, MatchesStringSortOnRandomNames) {
    // Short names over a small alphabet, so that prefixes and near misses are common.
    std::mt19937 random(7);
    const std::string alphabet = "ab.A$";
    std::vector<std::string> input;
    for (int i = 0; i < 2000; ++i) {
        std::string name;
        const int length = 1 + static_cast<int>(random() % 7);
        for (int j = 0; j < length; ++j) name.push_back(alphabet[random() % alphabet.size()]);
        // A dotted name never starts or ends with a dot.
        if (name.front() == '.' || name.back() == '.') continue;
        input.push_back(name);
    }
    SortedClassNames names;
    for (const std::string& name : input) names.add(name);
    names.sort();
    std::sort(input.begin(), input.end());
    EXPECT_EQ(namesOf(names), input);
}

TEST(SortedClassNames, ComparesJoinedPiecesByteForByte) {
    EXPECT_EQ(SortedClassNames::compareJoined("", "", "", ""), 0);
    EXPECT_LT(SortedClassNames::compareJoined("p.", "A", "p.a.", "B"), 0);
    EXPECT_GT(SortedClassNames::compareJoined("p.", "b", "p.a.", "B"), 0);
    EXPECT_EQ(SortedClassNames::compareJoined("p.a", ".B", "p.", "a.B"), 0);
    EXPECT_LT(SortedClassNames::compareJoined("p.", "a", "p.a", "b"), 0);
    EXPECT_GT(SortedClassNames::compareJoined("p.", "\xC3", "p.", "z"), 0);
}

}  // namespace
}  // namespace ornith::tool
