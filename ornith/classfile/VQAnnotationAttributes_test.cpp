#include "ornith/classfile/VQAnnotationAttributes.h"

#include <gtest/gtest.h>

#include "ornith/classfile/AttributeTestSupport.h"

namespace ornith {
namespace {

using testing::AttributePool;
using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU1;
using testing::putU2;

// Element values written by hand: a tag and its index or indexes.
void value(Bytes& out, char tag, std::initializer_list<uint16_t> indexes) {
    putU1(out, static_cast<uint8_t>(tag));
    for (uint16_t i : indexes) putU2(out, i);
}

class Annotations : public ::testing::Test {
protected:
    ClassFileWriter w;
    uint16_t tag = w.utf8("Lp/Tag;"), policy = w.utf8("Ljava/lang/annotation/RetentionPolicy;"),
             runtime = w.utf8("RUNTIME"), stringClass = w.utf8("Ljava/lang/String;"),
             voidClass = w.utf8("V"), arrayClass = w.utf8("[[I"), text = w.utf8("a\"b\n"),
             one = w.integer(1), big = w.longInteger(-2), half = w.floating(1.5f),
             third = w.doubleFloating(0.25), letter = w.integer('x'), yes = w.integer(1),
             nameA = w.utf8("a"), nameB = w.utf8("b"), nameC = w.utf8("c");
};

TEST_F(Annotations, EveryKindOfElementValue) {
    Bytes info;
    putU2(info, 1);  // one annotation
    putU2(info, tag);
    putU2(info, 12);
    const struct {
        char t;
        std::initializer_list<uint16_t> indexes;
    } constants[] = {{'B', {one}},        {'C', {letter}},
                     {'D', {third}},      {'F', {half}},
                     {'I', {one}},        {'J', {big}},
                     {'S', {one}},        {'Z', {yes}},
                     {'s', {text}},       {'e', {policy, runtime}},
                     {'c', {stringClass}}};
    for (const auto& c : constants) {
        putU2(info, nameA);
        value(info, c.t, c.indexes);
    }
    // b = @p.Tag(c = {void.class, int[][].class})
    putU2(info, nameB);
    value(info, '@', {tag, 1});
    putU2(info, nameC);
    value(info, '[', {2});
    value(info, 'c', {voidClass});
    value(info, 'c', {arrayClass});

    auto a =
        AttributePool(w).decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", info);
    ASSERT_TRUE(a);
    ASSERT_FALSE(a->isMalformed());
    EXPECT_TRUE(a->isVisible());
    ASSERT_EQ(a->annotations().size(), 1u);
    const VQAnnotation& annotation = a->annotations()[0];
    EXPECT_EQ(annotation.typeDescriptor(), "Lp/Tag;");
    EXPECT_EQ(annotation.typeName(), "p.Tag");
    ASSERT_EQ(annotation.elements().size(), 12u);
    const auto& e = annotation.elements();
    EXPECT_EQ(std::get<int32_t>(e[0].second.value()), 1);
    EXPECT_EQ(e[3].second.tag(), 'F');
    EXPECT_EQ(std::get<float>(e[3].second.value()), 1.5f);
    EXPECT_EQ(std::get<double>(e[2].second.value()), 0.25);
    EXPECT_EQ(std::get<int64_t>(e[5].second.value()), -2);
    EXPECT_EQ(std::get<std::string>(e[8].second.value()), "a\"b\n");
    EXPECT_EQ(*e[9].second.enumConstant(),
              (VQEnumConstant{"Ljava/lang/annotation/RetentionPolicy;", "RUNTIME"}));
    EXPECT_EQ(*e[10].second.classDescriptor(), "Ljava/lang/String;");
    EXPECT_TRUE(e[8].second.isConstant());
    EXPECT_FALSE(e[10].second.isConstant());
    ASSERT_TRUE(e[11].second.annotation());
    EXPECT_EQ(e[11].second.annotation()->elements()[0].second.elements()->size(), 2u);
    EXPECT_EQ(annotation.elementWithName("b"), &e[11].second);
    EXPECT_EQ(annotation.elementWithName("z"), nullptr);

    EXPECT_EQ(VQAnnotationText(annotation),
              "@p.Tag(a=1, a='x', a=0.25, a=1.5f, a=1, a=-2L, a=1, a=true, a=\"a\\\"b\\n\", "
              "a=java.lang.annotation.RetentionPolicy.RUNTIME, a=java.lang.String.class, "
              "b=@p.Tag(c={void.class, int[][].class}))");
}

// `depth` arrays, each holding the next, around one int.
Bytes nestedArrays(uint16_t name, uint16_t constant, uint16_t type, int depth) {
    Bytes info;
    putU2(info, 1);
    putU2(info, type);
    putU2(info, 1);
    putU2(info, name);
    for (int i = 0; i < depth; ++i) value(info, '[', {1});
    value(info, 'I', {constant});
    return info;
}

TEST_F(Annotations, NestingIsBounded) {
    AttributePool pool(w);
    auto within = pool.decodeAs<VQJavaAnnotationsAttribute>(
        "RuntimeInvisibleAnnotations", nestedArrays(nameA, one, tag, kVQMaxElementValueDepth));
    EXPECT_FALSE(within->isMalformed());
    EXPECT_FALSE(within->isVisible());
    EXPECT_EQ(within->typeName(), "RuntimeInvisibleAnnotations");
    auto beyond = pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeInvisibleAnnotations",
                                                            nestedArrays(nameA, one, tag, 100000));
    EXPECT_TRUE(beyond->isMalformed());
    EXPECT_TRUE(beyond->annotations().empty());
}

TEST_F(Annotations, EveryCutAndEveryCountBeyondTheBytesIsMalformed) {
    AttributePool pool(w);
    Bytes info;
    putU2(info, 2);
    putU2(info, tag);
    putU2(info, 1);
    putU2(info, nameA);
    value(info, '[', {2});
    value(info, 'e', {policy, runtime});
    value(info, 's', {text});
    putU2(info, tag);
    putU2(info, 0);
    ASSERT_FALSE(pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", info)
                     ->isMalformed());
    for (size_t cut = 0; cut < info.size(); ++cut) {
        const Bytes prefix(info.begin(), info.begin() + static_cast<long>(cut));
        EXPECT_TRUE(pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", prefix)
                        ->isMalformed())
            << cut;
    }
    // Counts raised to the largest a u2 holds, one place at a time.
    for (size_t at : {size_t{0}, size_t{4}, size_t{9}}) {
        Bytes lying = info;
        lying[at] = lying[at + 1] = 0xFF;
        EXPECT_TRUE(pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", lying)
                        ->isMalformed())
            << at;
    }
    // A tag outside the format, and a constant of the wrong kind.
    Bytes badTag = info;
    badTag[8] = 'X';
    EXPECT_TRUE(pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", badTag)
                    ->isMalformed());
    Bytes wrongKind;
    putU2(wrongKind, 1);
    putU2(wrongKind, tag);
    putU2(wrongKind, 1);
    putU2(wrongKind, nameA);
    value(wrongKind, 'J', {one});
    EXPECT_TRUE(pool.decodeAs<VQJavaAnnotationsAttribute>("RuntimeVisibleAnnotations", wrongKind)
                    ->isMalformed());
}

TEST_F(Annotations, EqualMarkerListsAreOneObjectAndOthersAreNot) {
    AttributePool pool(w);
    const Bytes markers = testing::u2s({2, tag, 0, policy, 0});
    auto first = pool.decode("RuntimeVisibleAnnotations", markers);
    EXPECT_EQ(pool.decode("RuntimeVisibleAnnotations", markers), first);
    // The other retention, another order, or an element: another object.
    auto invisible = pool.decode("RuntimeInvisibleAnnotations", markers);
    EXPECT_NE(invisible, first);
    EXPECT_EQ(invisible->typeName(), "RuntimeInvisibleAnnotations");
    EXPECT_NE(pool.decode("RuntimeVisibleAnnotations", testing::u2s({2, policy, 0, tag, 0})),
              first);
    Bytes withElement = testing::u2s({1, tag, 1, nameA});
    value(withElement, 'I', {one});
    auto a = pool.decode("RuntimeVisibleAnnotations", withElement);
    EXPECT_NE(pool.decode("RuntimeVisibleAnnotations", withElement), a);
}

TEST_F(Annotations, ParameterAnnotationsAndDefaults) {
    AttributePool pool(w);
    Bytes info;
    putU1(info, 2);
    putU2(info, 0);  // the first parameter has none
    putU2(info, 1);
    putU2(info, tag);
    putU2(info, 0);
    auto p = pool.decodeAs<VQJavaParameterAnnotationsAttribute>(
        "RuntimeVisibleParameterAnnotations", info);
    ASSERT_TRUE(p);
    ASSERT_FALSE(p->isMalformed());
    ASSERT_EQ(p->parameterAnnotations().size(), 2u);
    EXPECT_TRUE(p->parameterAnnotations()[0].empty());
    EXPECT_EQ(p->parameterAnnotations()[1][0].typeName(), "p.Tag");
    info[0] = 3;
    EXPECT_TRUE(pool.decodeAs<VQJavaParameterAnnotationsAttribute>(
                        "RuntimeInvisibleParameterAnnotations", info)
                    ->isMalformed());

    Bytes byDefault;
    value(byDefault, 'e', {policy, runtime});
    auto d = pool.decodeAs<VQJavaAnnotationDefaultAttribute>("AnnotationDefault", byDefault);
    ASSERT_TRUE(d && d->defaultValue());
    EXPECT_EQ(VQElementValueText(*d->defaultValue()),
              "java.lang.annotation.RetentionPolicy.RUNTIME");
    byDefault.push_back(0);
    d = pool.decodeAs<VQJavaAnnotationDefaultAttribute>("AnnotationDefault", byDefault);
    EXPECT_TRUE(d->isMalformed());
    EXPECT_EQ(d->defaultValue(), nullptr);
}

}  // namespace
}  // namespace ornith
