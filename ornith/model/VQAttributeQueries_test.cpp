// The model's answers about nesting, records, sealed classes, parameters and annotations,
// over classes compiled by javac 25 (examples/attributes) and classes written byte by byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ornith/base/VQText.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

std::shared_ptr<VQJavaClass> example(const std::string& name) {
    return VQJavaClass::classWithContentsOfFile(
        std::string(ORNITH_SOURCE_DIR) + "/examples/attributes/classes/attrs/" + name + ".class");
}

std::vector<std::string> texts(const std::vector<const VQAnnotation*>& annotations) {
    std::vector<std::string> out;
    for (const VQAnnotation* a : annotations) out.push_back(VQAnnotationText(*a));
    return out;
}

template <class List>
const auto* memberNamed(const List& list, const std::string& name) {
    for (const auto& member : *list)
        if (member->name() == name) return member.get();
    return static_cast<decltype(list->front().get())>(nullptr);
}

TEST(VQAttributeQueries, NestedClassesHaveTheirDeclaredModifiersAndSimpleNames) {
    auto outer = example("Outer");
    EXPECT_EQ(outer->simpleName(), "Outer");
    EXPECT_FALSE(outer->innerClassEntry());
    EXPECT_EQ(outer->declaredAccessFlags(), outer->accessFlags());
    EXPECT_EQ(outer->nestHost(), nullptr);
    ASSERT_TRUE(outer->nestMembers());
    std::vector<std::string> members = outer->nestMembers()->classNames();
    std::sort(members.begin(), members.end());
    EXPECT_EQ(members, (std::vector<std::string>{"attrs.Outer$1", "attrs.Outer$1Local",
                                                 "attrs.Outer$Hidden", "attrs.Outer$Inner"}));

    auto hidden = example("Outer$Hidden");
    EXPECT_EQ(hidden->declaredAccessFlags(), 0x000Au);  // private static
    EXPECT_FALSE(hidden->isPublic());
    EXPECT_EQ(hidden->accessFlags() & 0x000Au, 0u);  // the file's own flags cannot say so
    EXPECT_EQ(hidden->simpleName(), "Hidden");
    ASSERT_TRUE(hidden->nestHost());
    EXPECT_EQ(*hidden->nestHost(), "attrs.Outer");
    EXPECT_EQ(hidden->innerClassEntry()->outerClassName, "attrs.Outer");

    EXPECT_EQ(example("Outer$Inner")->declaredAccessFlags(), 0x0014u);  // protected final

    auto local = example("Outer$1Local");
    EXPECT_EQ(local->simpleName(), "Local");
    EXPECT_FALSE(local->innerClassEntry()->outerClassName);
    ASSERT_TRUE(local->enclosingMethod());
    EXPECT_EQ(local->enclosingMethod()->className(), "attrs.Outer");
    EXPECT_EQ(local->enclosingMethod()->methodName(), "local");
    EXPECT_EQ(local->enclosingMethod()->methodDescriptor(), "(I)Ljava/util/function/Supplier;");

    auto anonymous = example("Outer$1");
    EXPECT_EQ(anonymous->simpleName(), "");
    EXPECT_EQ(anonymous->enclosingMethod()->methodName(), "local");
}

TEST(VQAttributeQueries, AnnotationsOfClassesFieldsMethodsAndParameters) {
    auto outer = example("Outer");
    EXPECT_TRUE(outer->isDeprecated());
    EXPECT_FALSE(outer->isSynthetic());
    EXPECT_EQ(texts(outer->annotations()),
              (std::vector<std::string>{
                  "@attrs.Tag(value=\"outer\", numbers={}, type=java.lang.String[].class, "
                  "nested=@attrs.Nested(level=5))",
                  "@java.lang.Deprecated"}));
    ASSERT_TRUE(outer->visibleAnnotations());
    EXPECT_EQ(outer->invisibleAnnotations(), nullptr);

    const VQJavaField* field = memberNamed(outer->fields(), "field");
    ASSERT_TRUE(field);
    EXPECT_EQ(texts(field->annotations()), (std::vector<std::string>{"@attrs.Nested(level=2)"}));
    EXPECT_EQ(field->visibleAnnotations(), nullptr);
    EXPECT_FALSE(field->isDeprecated());

    const VQJavaMethod* old = memberNamed(outer->methods(), "old");
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->isDeprecated());
    EXPECT_EQ(texts(old->annotations()),
              (std::vector<std::string>{"@java.lang.Deprecated(since=\"9\", forRemoval=true)"}));
    EXPECT_EQ(old->parameterNameAtIndex(0), "s");
    EXPECT_EQ(old->parameterNameAtIndex(1), "count");
    EXPECT_FALSE(old->parameterNameAtIndex(2));
    EXPECT_EQ(texts(old->parameterAnnotationsAtIndex(0)),
              (std::vector<std::string>{"@attrs.Nested(level=3)"}));
    EXPECT_TRUE(old->parameterAnnotationsAtIndex(1).empty());

    // javac counts only the declared parameters of an inner class's constructor.
    auto inner = example("Outer$Inner");
    const VQJavaConstructor* constructor = inner->constructors()->at(0).get();
    ASSERT_TRUE(constructor->parameters());
    EXPECT_EQ(constructor->parameters()->size(), 3u);
    EXPECT_EQ(constructor->parameters()->at(0),
              (VQMethodParameter{"this$0", 0x8010}));  // final mandated
    EXPECT_EQ(constructor->parameterNameAtIndex(1), "x");
    EXPECT_EQ(texts(constructor->parameterAnnotationsAtIndex(0)),
              (std::vector<std::string>{"@attrs.Tag(value=\"p\")"}));
    EXPECT_TRUE(constructor->parameterAnnotationsAtIndex(1).empty());
    EXPECT_TRUE(constructor->parameterAnnotationsAtIndex(2).empty());
}

TEST(VQAttributeQueries, AnnotationDefaultsOfEveryKind) {
    auto tag = example("Tag");
    std::vector<std::string> defaults;
    for (const auto& method : *tag->methods()) {
        const VQElementValue* value = method->annotationDefault();
        ASSERT_TRUE(value) << method->name();
        defaults.push_back(std::string(method->name()) + "=" + VQElementValueText(*value));
    }
    EXPECT_EQ(defaults, (std::vector<std::string>{
                            "value=\"none\"", "numbers={1, 2}", "type=void.class",
                            "kind=java.lang.annotation.ElementType.TYPE",
                            "nested=@attrs.Nested(level=1)", "letter='q'", "big=1099511627776L",
                            "ratio=0.5", "half=1.5f", "flag=true", "small=7", "medium=300"}));
}

TEST(VQAttributeQueries, SealedInterfacesAndRecords) {
    auto shape = example("Shape");
    ASSERT_TRUE(shape->permittedSubclasses());
    EXPECT_EQ(shape->permittedSubclasses()->classNames(),
              (std::vector<std::string>{"attrs.Shape$Circle", "attrs.Square"}));
    EXPECT_EQ(shape->recordComponents(), nullptr);

    auto circle = example("Shape$Circle");
    EXPECT_EQ(circle->declaredAccessFlags() & 0x0008u, 0x0008u);  // a member record is static
    const auto* components = circle->recordComponents();
    ASSERT_TRUE(components);
    ASSERT_EQ(components->size(), 2u);
    EXPECT_EQ((*components)[0].name(), "radius");
    EXPECT_EQ((*components)[0].descriptor(), "D");
    EXPECT_FALSE((*components)[0].genericSignature());
    const auto* tagged = dynamic_cast<const VQJavaAnnotationsAttribute*>(
        (*components)[0].attributeWithName("RuntimeVisibleAnnotations"));
    ASSERT_TRUE(tagged);
    EXPECT_EQ(VQAnnotationText(tagged->annotations().at(0)), "@attrs.Tag(value=\"r\")");
    EXPECT_EQ((*components)[1].name(), "labels");
    EXPECT_EQ((*components)[1].genericSignature(), "Ljava/util/List<Ljava/lang/String;>;");
}

// A class whose nesting, record, annotation and parameter attributes are all malformed
// reads as before, and answers absent.
TEST(VQAttributeQueries, MalformedAttributesLeaveTheClassReadable) {
    ClassFileWriter w;
    w.setThisClass("p/A");
    w.setSuperClass("java/lang/Object");
    w.addClassAttribute(w.attribute("InnerClasses", Bytes{0, 9}));
    w.addClassAttribute(w.attribute("NestHost", Bytes{0, 0}));
    w.addClassAttribute(w.attribute("Record", Bytes{0xFF, 0xFF}));
    w.addClassAttribute(w.attribute("RuntimeVisibleAnnotations", Bytes{0, 1, 0, 0}));
    w.addMethod(0x0001, "m", "()V", {w.attribute("MethodParameters", Bytes{5})});
    const Bytes bytes = w.bytes();
    auto a = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    EXPECT_EQ(a->description(),
              "public class p.A extends java.lang.Object\n{\n"
              "    public void m();\n}");
    EXPECT_EQ(a->innerClasses(), nullptr);
    EXPECT_EQ(a->nestHost(), nullptr);
    EXPECT_EQ(a->recordComponents(), nullptr);
    EXPECT_TRUE(a->annotations().empty());
    EXPECT_EQ(a->simpleName(), "A");
    EXPECT_EQ(a->methods()->at(0)->parameters(), nullptr);
    EXPECT_EQ(a->attributes()->size(), 4u);
}

// A method descriptor without its '(' whose first character is not ASCII: the text must
// split it between whole characters, never inside one.
TEST(VQAttributeQueries, AMalformedDescriptorSplitsOnWholeCharacters) {
    ClassFileWriter w;
    w.setThisClass("p/A");
    w.setSuperClass("java/lang/Object");
    w.addMethod(0x0001, "m", "\xC3\xA9I)V");          // é, then an int argument
    w.addMethod(0x0001, "n", "\xE2\x82\xAC");         // € alone
    w.addMethod(0x0001, "o", "\xF0\x9F\x98\x80J)V");  // a character beyond U+FFFF
    const Bytes bytes = w.bytes();
    auto a = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    const auto& methods = *a->methods();
    EXPECT_EQ(methods[0]->numberOfArguments(), 1u);
    EXPECT_EQ(methods[0]->description(), "public void m(int)");
    EXPECT_EQ(methods[1]->numberOfArguments(), 0u);
    EXPECT_EQ(methods[2]->description(), "public void o(long)");
    const std::string text = a->description();
    // Well-formed UTF-8 throughout: no character is cut in the middle.
    EXPECT_EQ(VQValidUTF8Prefix(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
              text.size());
}

}  // namespace
}  // namespace ornith
