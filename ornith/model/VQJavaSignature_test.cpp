#include "ornith/model/VQJavaSignature.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ornith {
namespace {

std::string typeText(std::string_view signature) {
    auto type = VQParseTypeSignature(signature);
    return type ? type->javaText() : "<malformed>";
}

TEST(VQJavaSignature, TypesRenderAsJava) {
    EXPECT_EQ(typeText("I"), "int");
    EXPECT_EQ(typeText("[[Z"), "boolean[][]");
    EXPECT_EQ(typeText("Ljava/lang/String;"), "java.lang.String");
    EXPECT_EQ(typeText("Ljava/util/Map$Entry<TK;TV;>;"), "java.util.Map$Entry<K, V>");
    EXPECT_EQ(typeText("Ljava/util/List<*>;"), "java.util.List<?>");
    EXPECT_EQ(typeText("Ljava/util/List<+Ljava/lang/Number;>;"),
              "java.util.List<? extends java.lang.Number>");
    EXPECT_EQ(typeText("Ljava/util/List<-TT;>;"), "java.util.List<? super T>");
    EXPECT_EQ(typeText("[Ljava/util/List<[TT;>;"), "java.util.List<T[]>[]");
    EXPECT_EQ(typeText("Lp/Outer<TT;>.Inner<Ljava/lang/String;>.Deep;"),
              "p.Outer<T>.Inner<java.lang.String>.Deep");
}

TEST(VQJavaSignature, ClassTypeKeepsItsSegmentsAndArguments) {
    auto type = VQParseTypeSignature("Lp/Outer<TT;>.Inner<*>;");
    ASSERT_TRUE(type);
    ASSERT_EQ(type->kind, VQSignatureType::Kind::classType);
    ASSERT_EQ(type->segments.size(), 2u);
    EXPECT_EQ(type->segments[0].name, "p/Outer");
    EXPECT_EQ(type->segments[1].name, "Inner");
    ASSERT_EQ(type->segments[0].arguments.size(), 1u);
    EXPECT_EQ(type->segments[0].arguments[0].bound.at(0).kind, VQSignatureType::Kind::typeVariable);
    EXPECT_EQ(type->segments[1].arguments[0].kind, VQTypeArgument::Kind::unbounded);
    EXPECT_TRUE(type->segments[1].arguments[0].bound.empty());
}

TEST(VQJavaSignature, ClassSignatureWithBounds) {
    auto signature = VQParseClassSignature(
        "<K:Ljava/lang/Object;V::Ljava/lang/Comparable<TV;>;N:Ljava/lang/Number;:Ljava/io/"
        "Serializable;>Ljava/util/AbstractMap<TK;TV;>;Ljava/lang/Cloneable;Ljava/util/"
        "Map<TK;TV;>;");
    ASSERT_TRUE(signature);
    ASSERT_EQ(signature->typeParameters.size(), 3u);
    EXPECT_TRUE(signature->typeParameters[0].classBound->isObject());
    EXPECT_FALSE(signature->typeParameters[1].classBound);
    EXPECT_EQ(signature->typeParameters[1].interfaceBounds.size(), 1u);
    EXPECT_EQ(VQTypeParametersText(signature->typeParameters),
              "<K, V extends java.lang.Comparable<V>, N extends java.lang.Number & "
              "java.io.Serializable>");
    EXPECT_EQ(signature->superclass.javaText(), "java.util.AbstractMap<K, V>");
    ASSERT_EQ(signature->interfaces.size(), 2u);
    EXPECT_EQ(signature->interfaces[1].javaText(), "java.util.Map<K, V>");
}

TEST(VQJavaSignature, OnlyInterfaceBoundsAreJoinedByAmpersand) {
    auto signature =
        VQParseClassSignature("<T::Ljava/lang/Runnable;:Ljava/io/Closeable;>Ljava/lang/Object;");
    ASSERT_TRUE(signature);
    EXPECT_EQ(VQTypeParametersText(signature->typeParameters),
              "<T extends java.lang.Runnable & java.io.Closeable>");
    EXPECT_TRUE(signature->superclass.isObject());
    EXPECT_TRUE(signature->interfaces.empty());
}

TEST(VQJavaSignature, MethodSignatureWithThrowsAndDescriptors) {
    auto method = VQParseMethodSignature(
        "<T:Ljava/lang/Exception;>(ILjava/util/List<+TT;>;[[J)TT;^TT;^Ljava/io/IOException;");
    ASSERT_TRUE(method);
    EXPECT_EQ(VQTypeParametersText(method->typeParameters), "<T extends java.lang.Exception>");
    ASSERT_EQ(method->parameters.size(), 3u);
    EXPECT_EQ(method->parameters[1].javaText(), "java.util.List<? extends T>");
    EXPECT_EQ(method->parameters[2].javaText(), "long[][]");
    EXPECT_EQ(method->result.javaText(), "T");
    ASSERT_EQ(method->exceptions.size(), 2u);
    EXPECT_EQ(method->exceptions[0].kind, VQSignatureType::Kind::typeVariable);
    EXPECT_EQ(method->exceptions[1].javaText(), "java.io.IOException");

    auto descriptor = VQParseMethodSignature("(I[Ljava/lang/String;)V");
    ASSERT_TRUE(descriptor);
    EXPECT_TRUE(descriptor->typeParameters.empty());
    EXPECT_EQ(descriptor->parameters[1].javaText(), "java.lang.String[]");
    EXPECT_EQ(descriptor->result.javaText(), "void");
    EXPECT_TRUE(descriptor->exceptions.empty());
}

TEST(VQJavaSignature, MalformedTextGivesNoTree) {
    for (std::string_view bad :
         {"", "L", "Ljava/lang/Object", "Ljava/util/List<>;", "Ljava/util/List<TT;", "TT", "T;",
          "L;", "Lp/;", "Q", "I;", "[", "Ljava/lang/String;X"}) {
        EXPECT_FALSE(VQParseTypeSignature(bad)) << bad;
    }
    for (std::string_view bad : {"", "<>Ljava/lang/Object;", "<T>Ljava/lang/Object;",
                                 "<T:>Ljava/lang/Object;", "Ljava/lang/Object;I", "I"}) {
        EXPECT_FALSE(VQParseClassSignature(bad)) << bad;
    }
    for (std::string_view bad :
         {"", "(", "(I", "()", "()V^", "()V^[I", "()V^I", "()VV", "<T:>()V", "(X)V"}) {
        EXPECT_FALSE(VQParseMethodSignature(bad)) << bad;
    }
}

// The tree's text of a method signature, as the views put it together.
std::optional<VQMethodSignatureText> treeText(std::string_view text, bool objectBounds) {
    auto parsed = VQParseMethodSignature(text);
    if (!parsed) return std::nullopt;
    VQMethodSignatureText out;
    if (objectBounds && !parsed->typeParameters.empty()) {
        out.typeParameters = "<";
        for (size_t i = 0; i < parsed->typeParameters.size(); ++i) {
            const VQTypeParameter& p = parsed->typeParameters[i];
            if (i) out.typeParameters += ", ";
            out.typeParameters += p.name;
            const char* separator = " extends ";
            if (p.classBound) {
                out.typeParameters += separator + p.classBound->javaText();
                separator = " & ";
            }
            for (const VQSignatureType& bound : p.interfaceBounds) {
                out.typeParameters += separator + bound.javaText();
                separator = " & ";
            }
        }
        out.typeParameters += ">";
    } else {
        out.typeParameters = VQTypeParametersText(parsed->typeParameters);
    }
    out.parameters = "(";
    for (size_t i = 0; i < parsed->parameters.size(); ++i)
        out.parameters += (i ? ", " : "") + parsed->parameters[i].javaText();
    out.parameters += ")";
    out.result = parsed->result.javaText();
    for (size_t i = 0; i < parsed->exceptions.size(); ++i)
        out.exceptions += (i ? ", " : "") + parsed->exceptions[i].javaText();
    return out;
}

TEST(VQJavaSignature, MethodTextWithoutATreeIsTheTreesText) {
    for (std::string_view text :
         {"<T:Ljava/lang/Object;>(TT;)TT;",
          "<T::Ljava/lang/Comparable<-TT;>;>(Ljava/util/List<+TT;>;)V",
          "<K:Ljava/lang/Object;V:Ljava/lang/Number;:Ljava/io/Serializable;>()Ljava/util/"
          "Map$Entry<TK;TV;>;",
          "(Lp/Outer<TT;>.Inner<*>;[[Ljava/util/List<[I>;)[TT;^TX;^Ljava/io/IOException;",
          "<E:Ljava/lang/Object<TE;>;>()V", "()V", "(IJZ)D", "<T:>()V", "(Ljava/util/List<>;)V",
          "()V^[I", "()V^", "(X)V", "<T:TT;>()Ljava/lang/Object.Inner;", ""}) {
        for (const bool objectBounds : {false, true}) {
            const auto expected = treeText(text, objectBounds);
            VQMethodSignatureText got;
            ASSERT_EQ(VQMethodSignatureTextOf(text, objectBounds, got), expected.has_value())
                << text;
            if (!expected) continue;
            EXPECT_EQ(got.typeParameters, expected->typeParameters) << text;
            EXPECT_EQ(got.parameters, expected->parameters) << text;
            EXPECT_EQ(got.result, expected->result) << text;
            EXPECT_EQ(got.exceptions, expected->exceptions) << text;
        }
    }
}

TEST(VQJavaSignature, TypeTextWithoutATreeIsTheTreesText) {
    for (std::string_view text :
         {"I", "[[J", "TT;", "Ljava/util/Map<TK;[TV;>.Entry<*>;", "Ljava/util/List<+[TT;>;",
          "Ljava/util/List<-Ljava/lang/Number;>;", "V", "", "Ljava/util/List<>;", "TT", "I;",
          "Lp/;", "[", "Ljava/lang/String;X"}) {
        std::string got;
        const auto tree = VQParseTypeSignature(text);
        ASSERT_EQ(VQAppendTypeSignatureText(text, got), tree.has_value()) << text;
        if (tree) {
            EXPECT_EQ(got, tree->javaText()) << text;
        }
    }
}

TEST(VQJavaSignature, NestingIsBoundedAndArraysOfEveryLegalDepthParse) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep.append("Ljava/util/List<");
    EXPECT_FALSE(VQParseTypeSignature(deep));
    std::string closed = deep + "TT;";
    for (int i = 0; i < 100000; ++i) closed.append(">;");
    EXPECT_FALSE(VQParseTypeSignature(closed));

    EXPECT_EQ(typeText(std::string(255, '[') + "I").size(), 3 + 255 * 2);
    EXPECT_FALSE(VQParseTypeSignature(std::string(100000, '[') + "I"));
}

TEST(VQJavaSignature, LongFlatSignaturesParseWhole) {
    std::string wide = "Ljava/util/Map<";
    for (int i = 0; i < 20000; ++i) wide.append("TT;");
    wide.append(">;");
    auto type = VQParseTypeSignature(wide);
    ASSERT_TRUE(type);
    EXPECT_EQ(type->segments[0].arguments.size(), 20000u);
}

}  // namespace
}  // namespace ornith
