#include "ornith/model/VQJavaMember.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ornith/classfile/VQConstantPool.h"
#include "ornith/model/VQJavaConstructor.h"
#include "ornith/model/VQJavaField.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

// An attribute that answers only its name, for lookups.
class NamedAttribute : public VQJavaAttribute {
public:
    explicit NamedAttribute(std::string name) : _name(std::move(name)) {}
    const std::string& typeName() const override { return _name; }

private:
    std::string _name;
};

std::string textOf(const VQJavaType* type) {
    if (!type) return "<absent>";
    std::string out;
    type->appendDeclarationText(out);
    return out;
}

struct MethodCase {
    std::string descriptor;
    std::vector<std::string> arguments;  // declaration text of each argument
    std::string result;                  // declaration text, or <absent>
};

class MethodDescriptors : public ::testing::TestWithParam<MethodCase> {};

TEST_P(MethodDescriptors, SplitIntoArgumentsAndResult) {
    const MethodCase& c = GetParam();
    const VQJavaMethod method("m", c.descriptor, 0, std::nullopt);
    ASSERT_EQ(method.numberOfArguments(), c.arguments.size());
    for (uint32_t i = 0; i < c.arguments.size(); ++i)
        EXPECT_EQ(textOf(method.argumentTypeAtIndex(i)), c.arguments[i]);
    EXPECT_EQ(method.argumentTypeAtIndex(static_cast<uint32_t>(c.arguments.size())), nullptr);
    EXPECT_EQ(textOf(method.returnType()), c.result);
    EXPECT_EQ(textOf(method.returnType()), c.result);  // absent stays absent, present is cached
}

INSTANTIATE_TEST_SUITE_P(
    Members, MethodDescriptors,
    ::testing::Values(
        MethodCase{"()V", {}, "void"},
        MethodCase{"(I[JLjava/lang/String;[[Ljava/lang/Object;)Z",
                   {"int", "long[]", "java.lang.String", "java.lang.Object[][]"},
                   "boolean"},
        MethodCase{"([[ILjava/lang/Object;)[Ljava/lang/String;",
                   {"int[][]", "java.lang.Object"},
                   "java.lang.String[]"},
        // Digits after '[' belong to the argument, which then has no text of its own.
        MethodCase{"([10I)V", {"[10I"}, "void"}, MethodCase{"([1[2J)V", {"[1[2J"}, "void"},
        // Any byte other than '[' is a one-character base type.
        MethodCase{"(QI)V", {"Q", "int"}, "void"},
        // A ';' inside a class argument ends it; ')' inside a class name does not end the list.
        MethodCase{"(La/b)c;I)V", {"a.b)c", "int"}, "c;I)V"},
        // The first character is passed over, whatever it is.
        MethodCase{"I)V", {}, "void"}, MethodCase{"xII)J", {"int", "int"}, "long"},
        // Truncated descriptors: the scan stops at the end of the text.
        MethodCase{"", {}, "<absent>"}, MethodCase{"(", {}, "<absent>"},
        MethodCase{"(I", {"int"}, "<absent>"}, MethodCase{"(II", {"int", "int"}, "<absent>"},
        MethodCase{"(Ljava/lang/String", {"java.lang.String"}, "<absent>"},
        MethodCase{"(L", {""}, "<absent>"}, MethodCase{"([", {"["}, "<absent>"},
        MethodCase{"([12", {"[12"}, "<absent>"}, MethodCase{"(I)", {"int"}, ""},
        // A non-ASCII base character is one argument, not one per UTF-8 byte.
        MethodCase{"(\xC3\xA9I)V", {"\xC3\xA9", "int"}, "void"}));

TEST(VQJavaMethod, TypesAreDecodedOnceAndHandedOutAgain) {
    const VQJavaMethod method("m", "(ILjava/lang/String;J)[I", 0, std::nullopt);
    // The first request, whatever its index, decodes every argument.
    const VQJavaType* last = method.argumentTypeAtIndex(2);
    ASSERT_NE(last, nullptr);
    const VQJavaType* first = method.argumentTypeAtIndex(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(method.argumentTypeAtIndex(2), last);
    EXPECT_EQ(method.argumentTypeAtIndex(0), first);
    EXPECT_EQ(*method.argumentTypeAtIndex(1)->className(), "java.lang.String");
    EXPECT_EQ(method.argumentTypeAtIndex(3), nullptr);
    EXPECT_EQ(method.argumentTypeAtIndex(0xFFFFFFFFu), nullptr);
    const VQJavaType* result = method.returnType();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(method.returnType(), result);
    EXPECT_EQ(result->description(), "int[]");
}

TEST(VQJavaField, TypeIsTheSameObjectEveryTime) {
    const VQJavaField field("cache", "[J", 0, std::nullopt);
    const VQJavaType& type = field.type();
    EXPECT_EQ(&field.type(), &type);
    EXPECT_EQ(type.signature(), "[J");
    EXPECT_EQ(type.description(), "long[]");
}

TEST(VQJavaMember, AccessQueriesReadOnlyTheirBits) {
    const VQJavaField field("f", "I", 0x0019, std::nullopt);
    EXPECT_TRUE(field.isPublic());
    EXPECT_TRUE(field.isStatic());
    EXPECT_TRUE(field.isFinal());
    EXPECT_FALSE(field.isPrivate());
    EXPECT_FALSE(field.isProtected());
    EXPECT_FALSE(field.isVolatile());
    EXPECT_FALSE(field.isTransient());

    const VQJavaMethod method("m", "()V", 0x0421, std::nullopt);
    EXPECT_TRUE(method.isPublic());
    EXPECT_TRUE(method.isSynchronized());
    EXPECT_TRUE(method.isAbstract());
    EXPECT_FALSE(method.isStatic());
    EXPECT_FALSE(method.isFinal());
    EXPECT_FALSE(method.isNative());
    EXPECT_FALSE(method.isPrivate());
    EXPECT_FALSE(method.isProtected());
}

TEST(VQJavaMember, AttributeWithNameIsExactAndTakesTheFirst) {
    auto first = std::make_shared<NamedAttribute>("ConstantValue");
    auto second = std::make_shared<NamedAttribute>("ConstantValue");
    auto other = std::make_shared<NamedAttribute>("Synthetic");
    const VQJavaField field("f", "I", 0, VQAttributeList{other, first, second});
    EXPECT_EQ(field.attributeWithName("ConstantValue"), first);
    EXPECT_EQ(field.attributeWithName("Synthetic"), other);
    EXPECT_EQ(field.attributeWithName("constantvalue"), nullptr);
    EXPECT_EQ(field.attributeWithName("ConstantValue "), nullptr);
    EXPECT_EQ(field.attributeWithName(""), nullptr);
    // An attribute of that name that is not the library's own carries no value.
    EXPECT_EQ(field.initialValue(), nullptr);

    const VQJavaField bare("f", "I", 0, std::nullopt);
    EXPECT_FALSE(bare.attributes().has_value());
    EXPECT_EQ(bare.attributeWithName("ConstantValue"), nullptr);
    EXPECT_EQ(bare.initialValue(), nullptr);
    const VQJavaMethod method("m", "()V", 0, VQAttributeList{});
    EXPECT_EQ(method.exceptions(), nullptr);
}

class DecodedAttributes : public ::testing::Test {
protected:
    // Decodes one attribute, written by the test, with the real factory and pool.
    std::shared_ptr<const VQJavaAttribute> decode(const std::string& name, const Bytes& info) {
        _file = writer.bytes();
        VQByteStream stream{_file.data(), 8, static_cast<uint32_t>(_file.size())};
        VQConstantPoolHandle pool(VQOpenConstantPool(stream));
        Bytes copy = info;
        VQByteStream infoStream{copy.data(), 0, static_cast<uint32_t>(copy.size())};
        return VQJavaAttribute::attributeWithName(name, infoStream, *pool);
    }
    static Bytes index(uint16_t i) {
        Bytes b;
        testing::putU2(b, i);
        return b;
    }

    ClassFileWriter writer;

private:
    Bytes _file;
};

TEST_F(DecodedAttributes, ExceptionsAndTheThrowsClause) {
    Bytes two;
    testing::putU2(two, 2);
    testing::putU2(two, writer.classRef("java/io/IOException"));
    testing::putU2(two, writer.classRef("java/lang/InterruptedException"));
    auto both = decode("Exceptions", two);
    auto none = decode("Exceptions", index(0));

    const VQJavaMethod throwing("run", "(I)V", 0x0001, VQAttributeList{both});
    ASSERT_NE(throwing.exceptions(), nullptr);
    EXPECT_EQ(*throwing.exceptions(),
              (std::vector<std::string>{"java.io.IOException", "java.lang.InterruptedException"}));
    EXPECT_EQ(throwing.description(),
              "public void run(int) throws java.io.IOException, java.lang.InterruptedException");

    const VQJavaMethod empty("run", "()V", 0, VQAttributeList{none});
    ASSERT_NE(empty.exceptions(), nullptr);
    EXPECT_TRUE(empty.exceptions()->empty());
    EXPECT_EQ(empty.description(), "void run()");

    const VQJavaConstructor constructor("p.Point", "(II)V", 0x0001, VQAttributeList{both});
    EXPECT_EQ(
        constructor.description(),
        "public p.Point(int, int) throws java.io.IOException, java.lang.InterruptedException");
}

TEST(VQJavaConstructor, ReturnsItsOwnClass) {
    const VQJavaConstructor named("p.Point", "(II)V", 0x0001, std::nullopt);
    const VQJavaType* type = named.returnType();
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(named.returnType(), type);
    EXPECT_EQ(type->signature(), "Lp/Point;");
    EXPECT_EQ(type->baseType(), 'L');
    EXPECT_EQ(type->dimensionality(), 0u);
    EXPECT_EQ(*type->className(), "p.Point");
    // Arguments come from the constructor's own descriptor.
    EXPECT_EQ(named.numberOfArguments(), 2u);
    EXPECT_EQ(textOf(named.argumentTypeAtIndex(1)), "int");
    EXPECT_FALSE(named.isClassConstructor());

    const VQJavaConstructor bare("Point", "()V", 0, std::nullopt);
    EXPECT_EQ(bare.returnType()->description(), "Point");
    EXPECT_EQ(bare.description(), "Point()");

    const VQJavaConstructor initializer("p.Point", "()V", 0x0008, std::nullopt);
    EXPECT_TRUE(initializer.isClassConstructor());
    EXPECT_EQ(initializer.description(), "static p.Point()");

    // The description names the class as the constructor's own type renders it, for
    // names no class file makes too (a constructor may be made on its own).
    for (const char* name : {"a;b", "x/y.Z", "", ";", "p.Q;"}) {
        const VQJavaConstructor odd(name, "()V", 0, std::nullopt);
        EXPECT_EQ(odd.description(), *odd.returnType()->description() + "()") << name;
    }

    // Through the base, the constructor still renders as a constructor.
    const VQJavaMethod& asMethod = named;
    EXPECT_EQ(asMethod.description(), "public p.Point(int, int)");
    EXPECT_EQ(asMethod.returnType(), type);
}

TEST(Declarations, ModifierWordsInTheirOrder) {
    struct Case {
        int kind;  // 0 field, 1 method, 2 constructor
        uint32_t flags;
        const char* descriptor;
        const char* text;
    };
    const Case cases[] = {
        {0, 0x0019, "I", "public final static int x"},
        {1, 0x0019, "()I", "public static final int x()"},
        {0, 0x0084, "[J", "protected transient long[] x"},
        {0, 0x0042, "Z", "private volatile boolean x"},
        // Contradictory flags show every word.
        {0, 0x00DF, "I", "public protected private final static transient volatile int x"},
        {1, 0x053F, "()V",
         "public protected private abstract static final synchronized native void x()"},
        {2, 0x0121, "()V", "public synchronized native C()"},
        {1, 0x0401, "()D", "public abstract double x()"},
        // Types without text show their descriptors; a result without ')' shows the whole
        // descriptor.
        {0, 0, "Q", "Q x"},
        {0, 0, "", " x"},
        {1, 0, "(I", "(I x(int)"},
        {1, 0, "([5I)[[", "[[ x([5I)"},
    };
    for (const Case& c : cases) {
        std::string text;
        if (c.kind == 0) text = VQJavaField("x", c.descriptor, c.flags, std::nullopt).description();
        if (c.kind == 1)
            text = VQJavaMethod("x", c.descriptor, c.flags, std::nullopt).description();
        if (c.kind == 2)
            text = VQJavaConstructor("C", c.descriptor, c.flags, std::nullopt).description();
        EXPECT_EQ(text, c.text);
    }
}

}  // namespace
}  // namespace ornith
