#include "ornith/model/VQJavaType.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ornith {
namespace {

struct TypeCase {
    std::string signature;
    int32_t baseType;
    uint32_t dimensionality;
    std::optional<std::string> className;
    std::optional<std::string> description;
};

class TypeDecoding : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeDecoding, AnswersEveryQuery) {
    const TypeCase& c = GetParam();
    const VQJavaType type(c.signature);
    EXPECT_EQ(type.signature(), c.signature);
    EXPECT_EQ(type.baseType(), c.baseType);
    EXPECT_EQ(type.dimensionality(), c.dimensionality);
    const std::optional<std::string_view> name = type.className();
    ASSERT_EQ(name.has_value(), c.className.has_value());
    if (name) {
        EXPECT_EQ(*name, *c.className);
    }
    EXPECT_EQ(type.description(), c.description);
    // A description renders the descriptor without making a type: the same text.
    std::string made, direct;
    type.appendDeclarationText(made);
    VQJavaType::appendDeclarationText(c.signature, direct);
    EXPECT_EQ(direct, made);
    // The answers come from the caches the second time and must not change.
    EXPECT_EQ(type.baseType(), c.baseType);
    EXPECT_EQ(type.dimensionality(), c.dimensionality);
    EXPECT_EQ(type.description(), c.description);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, TypeDecoding,
    ::testing::Values(
        TypeCase{"I", 'I', 0, std::nullopt, "int"}, TypeCase{"B", 'B', 0, std::nullopt, "byte"},
        TypeCase{"C", 'C', 0, std::nullopt, "char"}, TypeCase{"D", 'D', 0, std::nullopt, "double"},
        TypeCase{"F", 'F', 0, std::nullopt, "float"}, TypeCase{"S", 'S', 0, std::nullopt, "short"},
        TypeCase{"V", 'V', 0, std::nullopt, "void"}, TypeCase{"Z", 'Z', 0, std::nullopt, "boolean"},
        TypeCase{"[J", 'J', 1, std::nullopt, "long[]"},
        TypeCase{"[Z", 'Z', 1, std::nullopt, "boolean[]"},
        TypeCase{"[[Ljava/lang/String;", 'L', 2, "java.lang.String", "java.lang.String[][]"},
        TypeCase{"Ljava/lang/String", 'L', 0, "java.lang.String", "java.lang.String"},
        TypeCase{"Lp/Outer$Inner;", 'L', 0, "p.Outer$Inner", "p.Outer$Inner"},
        // Only the text up to the first ';' names the class.
        TypeCase{"La/b;c/d", 'L', 0, "a.b", "a.b"}, TypeCase{"L;", 'L', 0, "", ""},
        TypeCase{"L", 'L', 0, "", ""}, TypeCase{"[L", 'L', 1, "", "[]"},
        TypeCase{"", -1, 0, std::nullopt, std::nullopt},
        TypeCase{"[[", -1, 2, std::nullopt, std::nullopt},
        TypeCase{"Q", 'Q', 0, std::nullopt, std::nullopt},
        TypeCase{"[10I", '1', 1, std::nullopt, std::nullopt},
        // Only leading '[' count; a later one is part of the class name.
        TypeCase{"I[", 'I', 0, std::nullopt, "int"},
        // A base character beyond ASCII answers its 16-bit code, not a UTF-8 byte.
        TypeCase{"[\xC3\xA9", 0xE9, 1, std::nullopt, std::nullopt},
        TypeCase{"\xE4\xB8\xAD", 0x4E2D, 0, std::nullopt, std::nullopt},
        TypeCase{"\xF0\x9F\x98\x80", 0xD83D, 0, std::nullopt, std::nullopt},
        // Malformed UTF-8 answers its first byte and reads nothing beyond the text.
        TypeCase{"\xE4\xB8", 0xE4, 0, std::nullopt, std::nullopt},
        TypeCase{"\xC3(", 0xC3, 0, std::nullopt, std::nullopt},
        // An overlong encoding is ill-formed like any other: it answers its first byte and
        // spells no letter.
        TypeCase{"[\xC1\x89", 0xC1, 1, std::nullopt, std::nullopt},
        TypeCase{"\xC1\x8Cp/Q;", 0xC1, 0, std::nullopt, std::nullopt}));

TEST(VQJavaType, ClassNameIsOwnedAndStable) {
    const VQJavaType type("[Ljava/util/List;");
    const std::optional<std::string_view> first = type.className();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(type.className()->data(), first->data());
    EXPECT_EQ(*first, "java.util.List");
    // A name without a package is the descriptor's own text, made once all the same.
    const VQJavaType plain("LTop;");
    EXPECT_EQ(plain.className(), "Top");
    EXPECT_EQ(plain.className()->data(), plain.className()->data());
}

TEST(VQJavaType, CopyStartsUndecodedAndAnswersAlike) {
    auto original = VQJavaType::typeWithSignature("[[Ljava/lang/Object;");
    ASSERT_TRUE(original->className().has_value());
    ASSERT_EQ(original->dimensionality(), 2u);

    std::shared_ptr<VQJavaType> copy = original->copyWithZone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy->signature(), original->signature());
    // Its name is worked out anew, into its own storage.
    ASSERT_TRUE(copy->className().has_value());
    EXPECT_NE(copy->className()->data(), original->className()->data());
    EXPECT_EQ(*copy->className(), *original->className());
    EXPECT_EQ(copy->description(), original->description());
    EXPECT_EQ(copy->baseType(), original->baseType());
}

TEST(VQJavaType, DeclarationTextFallsBackToTheDescriptor) {
    struct Case {
        const char* signature;
        const char* text;
    };
    for (const Case& c :
         {Case{"[[Ljava/lang/String;", "java.lang.String[][]"}, Case{"Q", "Q"}, Case{"", ""},
          Case{"[[", "[["}, Case{"[10I", "[10I"}, Case{"V", "void"}}) {
        std::string out = "<";
        VQJavaType(c.signature).appendDeclarationText(out);
        EXPECT_EQ(out, std::string("<") + c.text) << c.signature;
    }
}

}  // namespace
}  // namespace ornith
