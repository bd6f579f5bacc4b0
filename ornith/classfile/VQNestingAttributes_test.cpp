#include "ornith/classfile/VQNestingAttributes.h"

#include <gtest/gtest.h>

#include "ornith/classfile/AttributeTestSupport.h"

namespace ornith {
namespace {

using testing::AttributePool;
using testing::Bytes;
using testing::ClassFileWriter;
using testing::u2s;

TEST(VQJavaInnerClassesAttribute, EntriesOfMemberLocalAndAnonymousClasses) {
    ClassFileWriter w;
    const uint16_t member = w.classRef("p/Outer$Inner"), outer = w.classRef("p/Outer");
    const uint16_t local = w.classRef("p/Outer$1Local"), anonymous = w.classRef("p/Outer$1");
    const uint16_t odd = w.classRef("q/Elsewhere");
    const uint16_t inner = w.utf8("Inner"), localName = w.utf8("Local"), other = w.utf8("Named");
    AttributePool pool(w);
    const Bytes info = u2s({4, member, outer, inner, 0x000A,  // private static
                            local, 0, localName, 0x0010,      // final
                            anonymous, 0, 0, 0x0000,          //
                            odd, outer, other, 0x0001});
    auto a = pool.decodeAs<VQJavaInnerClassesAttribute>("InnerClasses", info);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->typeName(), "InnerClasses");
    ASSERT_FALSE(a->isMalformed());
    ASSERT_EQ(a->numberOfEntries(), 4u);

    VQInnerClassEntry e = a->entryAtIndex(0);
    EXPECT_EQ(e.innerClassName, "p.Outer$Inner");
    EXPECT_EQ(e.outerClassName, "p.Outer");
    EXPECT_EQ(e.simpleName, "Inner");
    EXPECT_EQ(e.accessFlags, 0x000Au);

    e = a->entryAtIndex(1);
    EXPECT_EQ(e.innerClassName, "p.Outer$1Local");
    EXPECT_FALSE(e.outerClassName);
    EXPECT_EQ(e.simpleName, "Local");

    e = a->entryAtIndex(2);
    EXPECT_EQ(e.innerClassName, "p.Outer$1");
    EXPECT_FALSE(e.outerClassName);
    EXPECT_FALSE(e.simpleName);

    // Names that are not the ends of the inner name are kept on their own.
    e = a->entryAtIndex(3);
    EXPECT_EQ(e.innerClassName, "q.Elsewhere");
    EXPECT_EQ(e.outerClassName, "p.Outer");
    EXPECT_EQ(e.simpleName, "Named");

    EXPECT_EQ(a->entryForClassName("p.Outer$1Local")->simpleName, "Local");
    EXPECT_FALSE(a->entryForClassName("p.Outer"));
    EXPECT_THROW(a->entryAtIndex(4), std::out_of_range);
}

// Most attributes are plain ASCII and take a quicker way than the rest; a row that is not
// (a non-ASCII name, a simple name holding a separator) must not change what any row says.
TEST(VQJavaInnerClassesAttribute, RowsOutsidePlainAsciiReadAsTheOthersDo) {
    ClassFileWriter w;
    const uint16_t member = w.classRef("p/Outer$Inner"), outer = w.classRef("p/Outer");
    const uint16_t inner = w.utf8("Inner");
    const uint16_t accented = w.classRef("p/\u00c4u\u00dfere$Innen");
    const uint16_t accentedOuter = w.classRef("p/\u00c4u\u00dfere"), innen = w.utf8("Innen");
    const uint16_t slashed = w.utf8("a/b");
    AttributePool pool(w);
    const auto plain = pool.decodeAs<VQJavaInnerClassesAttribute>(
        "InnerClasses", u2s({1, member, outer, inner, 0x0008}));
    const auto mixed = pool.decodeAs<VQJavaInnerClassesAttribute>(
        "InnerClasses", u2s({3, member, outer, inner, 0x0008, accented, accentedOuter, innen, 0,
                             member, outer, slashed, 0}));
    ASSERT_TRUE(plain && mixed);
    ASSERT_FALSE(mixed->isMalformed());
    ASSERT_EQ(mixed->numberOfEntries(), 3u);
    for (const auto* a : {plain.get(), mixed.get()}) {
        const VQInnerClassEntry e = a->entryAtIndex(0);
        EXPECT_EQ(e.innerClassName, "p.Outer$Inner");
        EXPECT_EQ(e.outerClassName, "p.Outer");
        EXPECT_EQ(e.simpleName, "Inner");
        EXPECT_EQ(e.accessFlags, 0x0008u);
    }
    const VQInnerClassEntry e = mixed->entryAtIndex(1);
    EXPECT_EQ(e.innerClassName, "p.\u00c4u\u00dfere$Innen");
    EXPECT_EQ(e.outerClassName, "p.\u00c4u\u00dfere");
    EXPECT_EQ(e.simpleName, "Innen");
    // A simple name is not a class name: its separator stays as it is.
    EXPECT_EQ(mixed->entryAtIndex(2).simpleName, "a/b");
    const auto slashedOnly = pool.decodeAs<VQJavaInnerClassesAttribute>(
        "InnerClasses", u2s({1, member, outer, slashed, 0}));
    EXPECT_EQ(slashedOnly->entryAtIndex(0).simpleName, "a/b");
    EXPECT_EQ(slashedOnly->entryAtIndex(0).innerClassName, "p.Outer$Inner");
}

// Eight bytes a row, each naming the same long name: a small attribute must not be able to
// ask for gigabytes of text.
TEST(VQJavaInnerClassesAttribute, RowsRepeatingALongNameBeyondTheLimitAreMalformed) {
    const auto append = [](Bytes& to, const Bytes& more) {
        to.insert(to.end(), more.begin(), more.end());
    };
    ClassFileWriter w;
    const uint16_t longName = w.classRef(std::string(65000, 'x'));
    const uint16_t longAccented = w.classRef(std::string(64998, 'x') + "\u00e9");
    AttributePool pool(w);
    for (uint16_t name : {longName, longAccented}) {
        Bytes info = u2s({1100});
        for (int i = 0; i < 1100; ++i) append(info, u2s({name, 0, 0, 0}));
        const auto a = pool.decodeAs<VQJavaInnerClassesAttribute>("InnerClasses", info);
        ASSERT_TRUE(a);
        EXPECT_TRUE(a->isMalformed());
        EXPECT_EQ(a->numberOfEntries(), 0u);
    }
    // Well inside the limit the same rows read.
    Bytes info = u2s({100});
    for (int i = 0; i < 100; ++i) append(info, u2s({longName, 0, 0, 0}));
    const auto a = pool.decodeAs<VQJavaInnerClassesAttribute>("InnerClasses", info);
    ASSERT_FALSE(a->isMalformed());
    EXPECT_EQ(a->entryAtIndex(99).innerClassName, std::string(65000, 'x'));
}

TEST(VQJavaInnerClassesAttribute, CountsLengthsAndIndexesThatDoNotHoldMakeItMalformed) {
    ClassFileWriter w;
    const uint16_t member = w.classRef("p/Outer$Inner"), outer = w.classRef("p/Outer");
    const uint16_t text = w.utf8("Inner");
    AttributePool pool(w);
    const Bytes good = u2s({1, member, outer, text, 0});
    const std::vector<Bytes> bad = {
        {},                                     // no count
        u2s({2, member, outer, text, 0}),       // a row short
        u2s({0xFFFF, member, outer, text, 0}),  // a count far beyond the bytes
        u2s({1, text, outer, text, 0}),         // inner names a Utf8, not a Class
        u2s({1, member, 999, text, 0}),         // outer beyond the pool
        u2s({1, member, outer, member, 0}),     // simple name names a Class
        u2s({1, member, outer, text, 0, 0}),    // bytes after the rows
    };
    EXPECT_FALSE(pool.decodeAs<VQJavaInnerClassesAttribute>("InnerClasses", good)->isMalformed());
    for (size_t i = 0; i < bad.size(); ++i) {
        auto a = pool.decodeAs<VQJavaInnerClassesAttribute>("InnerClasses", bad[i]);
        ASSERT_TRUE(a) << i;
        EXPECT_TRUE(a->isMalformed()) << i;
        EXPECT_EQ(a->numberOfEntries(), 0u) << i;
    }
}

TEST(VQJavaEnclosingMethodAttribute, ClassAndMethodOrInitializer) {
    ClassFileWriter w;
    const uint16_t host = w.classRef("p/Host");
    Bytes nat;
    testing::putU2(nat, w.utf8("run"));
    testing::putU2(nat, w.utf8("(I)V"));
    const uint16_t nameAndType = w.raw(12, nat);
    AttributePool pool(w);

    auto a =
        pool.decodeAs<VQJavaEnclosingMethodAttribute>("EnclosingMethod", u2s({host, nameAndType}));
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->isMalformed());
    EXPECT_EQ(a->className(), "p.Host");
    EXPECT_EQ(a->methodName(), "run");
    EXPECT_EQ(a->methodDescriptor(), "(I)V");

    a = pool.decodeAs<VQJavaEnclosingMethodAttribute>("EnclosingMethod", u2s({host, 0}));
    EXPECT_EQ(a->className(), "p.Host");
    EXPECT_FALSE(a->methodName());

    for (const Bytes& bad :
         {u2s({host}), u2s({host, host}), u2s({nameAndType, 0}), u2s({host, nameAndType, 0})}) {
        a = pool.decodeAs<VQJavaEnclosingMethodAttribute>("EnclosingMethod", bad);
        EXPECT_TRUE(a->isMalformed());
        EXPECT_EQ(a->className(), "");
        EXPECT_FALSE(a->methodName());
    }
}

TEST(VQJavaNestingAttributes, NestHostNestMembersAndPermittedSubclasses) {
    ClassFileWriter w;
    const uint16_t host = w.classRef("p/Shape"), a = w.classRef("p/Shape$Circle"),
                   b = w.classRef("p/Square");
    AttributePool pool(w);

    auto nestHost = pool.decodeAs<VQJavaNestHostAttribute>("NestHost", u2s({host}));
    ASSERT_TRUE(nestHost);
    EXPECT_EQ(nestHost->hostClassName(), "p.Shape");
    EXPECT_TRUE(pool.decodeAs<VQJavaNestHostAttribute>("NestHost", u2s({host, 0}))->isMalformed());
    EXPECT_TRUE(pool.decodeAs<VQJavaNestHostAttribute>("NestHost", u2s({0}))->isMalformed());

    auto members = pool.decodeAs<VQJavaClassListAttribute>("NestMembers", u2s({2, a, b}));
    ASSERT_TRUE(members);
    EXPECT_EQ(members->typeName(), "NestMembers");
    EXPECT_EQ(members->classNames(), (std::vector<std::string>{"p.Shape$Circle", "p.Square"}));

    auto permitted = pool.decodeAs<VQJavaClassListAttribute>("PermittedSubclasses", u2s({1, b}));
    ASSERT_TRUE(permitted);
    EXPECT_EQ(permitted->typeName(), "PermittedSubclasses");
    EXPECT_EQ(permitted->classNameAtIndex(0), "p.Square");

    for (const Bytes& bad : {u2s({3, a, b}), u2s({1, a, b}), u2s({2, a, 0}), Bytes{0}}) {
        auto list = pool.decodeAs<VQJavaClassListAttribute>("NestMembers", bad);
        EXPECT_TRUE(list->isMalformed());
        EXPECT_EQ(list->numberOfClasses(), 0u);
    }
}

// Nested classes of one host are read one after another: the same host is the same object.
TEST(VQJavaNestingAttributes, ConsecutiveNestHostsOfOneHostAreOneObject) {
    ClassFileWriter w;
    const uint16_t host = w.classRef("p/Shape"), other = w.classRef("p/Other");
    AttributePool pool(w);
    auto first = pool.decode("NestHost", u2s({host}));
    EXPECT_EQ(pool.decode("NestHost", u2s({host})), first);
    auto second = pool.decode("NestHost", u2s({other}));
    EXPECT_NE(second, first);
    EXPECT_EQ(std::dynamic_pointer_cast<const VQJavaNestHostAttribute>(second)->hostClassName(),
              "p.Other");
    EXPECT_TRUE(
        std::dynamic_pointer_cast<const VQJavaNestHostAttribute>(pool.decode("NestHost", u2s({0})))
            ->isMalformed());
}

// A host's decoder takes the place of the library's, and the library's can be put back.
struct HostNestHost : VQJavaAttribute {
    HostNestHost(const std::string&, VQByteStream&, const VQConstantPool&) {}
    const std::string& typeName() const override {
        static const std::string name = "NestHost";
        return name;
    }
};

TEST(VQJavaNestingAttributes, AHostCanReplaceADecoder) {
    ClassFileWriter w;
    const uint16_t host = w.classRef("p/Shape");
    AttributePool pool(w);
    VQJavaAttribute::registerAttributeClass<HostNestHost>("NestHost");
    EXPECT_TRUE(pool.decodeAs<HostNestHost>("NestHost", u2s({host})));
    VQJavaAttribute::registerAttributeClass<VQJavaNestHostAttribute>("NestHost");
    EXPECT_TRUE(pool.decodeAs<VQJavaNestHostAttribute>("NestHost", u2s({host})));
}

}  // namespace
}  // namespace ornith
