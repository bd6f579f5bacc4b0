#include "ornith/classfile/VQPathUtilities.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ornith {
namespace {

TEST(VQPathUtilities, ConvertsBetweenDottedAndPathForms) {
    EXPECT_EQ(stringByConvertingJavaIdentifierToPath("java.lang.Object"), "java/lang/Object");
    EXPECT_EQ(stringByConvertingJavaIdentifierToPath("Object"), "Object");
    EXPECT_EQ(stringByConvertingJavaIdentifierToPath(""), "");
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier("java/lang/Object"), "java.lang.Object");
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier("java/lang/"), "java.lang");
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier("java\\lang\\Object"), "java.lang.Object");
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier("a//"), "a.");  // only one separator dropped
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier(""), "");
    EXPECT_EQ(stringByConvertingPathToJavaIdentifier("Outer$Inner"), "Outer$Inner");
}

TEST(VQPathUtilities, AppendsDottedNamesAfterWhatIsThere) {
    // Only '/' becomes '.' (a backslash is a character of the name here), and only in
    // what is appended; a name longer than a vector register is converted throughout.
    std::string out = "a/b ";
    appendDottedName("java/util/Map$Entry\\x", out);
    EXPECT_EQ(out, "a/b java.util.Map$Entry\\x");
    out.clear();
    appendDottedName("com/example/deeply/nested/package/name/of/some/Length", out);
    EXPECT_EQ(out, "com.example.deeply.nested.package.name.of.some.Length");
    appendDottedName("", out);
    EXPECT_EQ(out, "com.example.deeply.nested.package.name.of.some.Length");
    // Sixteen bytes go at a time, the last sixteen again: a separator at any place of
    // any length, next to a block's edge or not, is converted, and the text before kept.
    for (size_t length = 1; length <= 40; ++length) {
        for (size_t at = 0; at < length; ++at) {
            std::string name(length, 'x');
            name[at] = '/';
            std::string dotted = name;
            dotted[at] = '.';
            out = "p/";
            appendDottedName(name, out);
            EXPECT_EQ(out, "p/" + dotted) << length << " " << at;
            name[at] = '\\';
            EXPECT_EQ(stringByConvertingPathToJavaIdentifier(name + "y"), dotted + "y");
        }
    }
}

TEST(VQPathUtilities, SplitsAndJoinsComponents) {
    EXPECT_EQ(stringByAppendingJavaComponent("", "Foo"), ".Foo");
    EXPECT_EQ(stringByAppendingJavaComponent("p", "Foo"), "p.Foo");
    EXPECT_EQ(stringByDeletingLastJavaComponent("java.lang.Object"), "java.lang");
    EXPECT_EQ(lastJavaComponent("java.lang.Object"), "Object");
    EXPECT_EQ(stringByDeletingLastJavaComponent("Object"), "");
    EXPECT_EQ(lastJavaComponent("Object"), "Object");
    EXPECT_EQ(stringByDeletingLastJavaComponent("a."), "a");
    EXPECT_EQ(lastJavaComponent("a."), "");
}

class Expansion : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("ORNITH_T_HOME", "/home/u", 1);
        ::setenv("1x", "one", 1);
        ::unsetenv("ORNITH_T_NOPE");
    }
    void TearDown() override {
        ::unsetenv("ORNITH_T_HOME");
        ::unsetenv("1x");
    }
};

TEST_F(Expansion, ReplacesBothReferenceForms) {
    EXPECT_EQ(stringByExpandingEnvironmentVariables("$ORNITH_T_HOME/lib"), "/home/u/lib");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("${ORNITH_T_HOME}/lib"), "/home/u/lib");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("${ORNITH_T_HOME:x}/lib"), "/home/u/lib");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("$1x"), "one");
}

TEST_F(Expansion, DropsUndefinedNamesAndBareDollars) {
    EXPECT_EQ(stringByExpandingEnvironmentVariables("a$ORNITH_T_NOPE.b"), "a.b");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("a$$/b"), "a/b");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("a$$b"), "a");  // the second $ names b
    EXPECT_EQ(stringByExpandingEnvironmentVariables("a$"), "a");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("x${ORNITH_T_HOME"), "x/home/u");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("x${ORNITH_T_HOME:no close"), "x/home/u");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("${}y"), "y");
}

TEST_F(Expansion, StripsLeadingBlanksOnly) {
    EXPECT_EQ(stringByExpandingEnvironmentVariables("  $ORNITH_T_HOME"), "/home/u");
    EXPECT_EQ(stringByExpandingEnvironmentVariables("\t\n\v\f\r a b "), "a b ");
    EXPECT_EQ(stringByExpandingEnvironmentVariables(""), "");
    EXPECT_EQ(stringByExpandingEnvironmentVariables(" \t "), "");
}

}  // namespace
}  // namespace ornith
