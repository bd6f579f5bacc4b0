#include "ornith/model/VQJavaClass.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

std::string examplePath(const std::string& relative) {
    return std::string(ORNITH_SOURCE_DIR) + "/examples/classes/" + relative;
}

// The worked example's text, kept once beside the examples (the tool prints it with a
// final newline, which the class's description does not have).
std::string pointText() {
    std::ifstream in(std::string(ORNITH_SOURCE_DIR) + "/examples/expected/p.Point.txt",
                     std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The class that the worked example describes, written member by member.
Bytes pointClassFile() {
    ClassFileWriter w;
    w.setAccess(0x0021);
    w.setThisClass("p/Point");
    w.setSuperClass("java/lang/Object");
    w.addInterface("java/io/Serializable");
    w.addInterface("java/lang/Cloneable");
    w.addField(0x0019, "ORIGIN", "I", {w.constantValue(w.integer(0))});
    w.addField(0x0002, "x", "I");
    w.addField(0x0084, "cache", "[J");
    w.addMethod(
        0x0001, "<init>", "(II)V",
        {w.attribute("Code", Bytes(12, 0)), w.exceptions({"java/lang/IllegalArgumentException"})});
    w.addMethod(0x0008, "<clinit>", "()V");
    w.addMethod(0x0021, "names", "([[ILjava/lang/Object;)[Ljava/lang/String;");
    w.addMethod(0x0101, "clear", "()V");
    w.addClassAttribute(w.sourceFile("Point.java"));
    return w.bytes();
}

TEST(VQJavaClass, WorkedExampleRendersExactly) {
    auto point = VQJavaClass::classWithData(std::span<const uint8_t>(pointClassFile()));
    EXPECT_EQ(point->description(), pointText());
}

TEST(VQJavaClass, CompiledPointRendersAsTheWorkedExample) {
    auto point = VQJavaClass::classWithContentsOfFile(examplePath("p/Point.class"));
    EXPECT_EQ(point->description(), pointText());
    ASSERT_NE(point->sourceFile(), nullptr);
    EXPECT_EQ(*point->sourceFile(), "Point.java");
    // Read straight from a file, the class has no library to ask.
    EXPECT_EQ(point->classLibrary(), nullptr);
    EXPECT_EQ(point->superclass(), nullptr);
    EXPECT_EQ(point->package(), nullptr);
}

TEST(VQJavaClass, BuilderStoresWhatTheFileSays) {
    auto point = VQJavaClass::classWithData(*VQByteBuffer::bufferWithVector(pointClassFile()));
    EXPECT_EQ(point->className(), "p.Point");
    EXPECT_EQ(point->superclassName(), "java.lang.Object");
    EXPECT_EQ(point->accessFlags(), 0x0021u);
    EXPECT_TRUE(point->isPublic());
    EXPECT_FALSE(point->isFinal());
    EXPECT_FALSE(point->isInterface());
    EXPECT_FALSE(point->isAbstract());
    ASSERT_TRUE(point->interfaces().has_value());
    EXPECT_EQ(
        std::vector<std::string_view>(point->interfaces()->begin(), point->interfaces()->end()),
        (std::vector<std::string_view>{"java.io.Serializable", "java.lang.Cloneable"}));

    ASSERT_TRUE(point->fields() && point->methods() && point->constructors());
    ASSERT_EQ(point->fields()->size(), 3u);
    EXPECT_EQ((*point->fields())[2]->name(), "cache");
    EXPECT_EQ((*point->fields())[2]->type().dimensionality(), 1u);
    ASSERT_NE((*point->fields())[0]->initialValue(), nullptr);
    EXPECT_EQ((*point->fields())[0]->initialValue()->value(), VQConstantValue::Value(int32_t{0}));
    EXPECT_FALSE((*point->fields())[1]->attributes().has_value());

    // Both initializers are constructors under the class's name, in file order.
    const auto& constructors = *point->constructors();
    ASSERT_EQ(constructors.size(), 2u);
    EXPECT_EQ(constructors[0]->name(), "p.Point");
    EXPECT_EQ(constructors[0]->signature(), "(II)V");
    EXPECT_FALSE(constructors[0]->isClassConstructor());
    ASSERT_NE(constructors[0]->exceptions(), nullptr);
    EXPECT_EQ(constructors[0]->attributeWithName("Code")->typeName(), "Code");
    EXPECT_EQ(constructors[1]->name(), "p.Point");
    EXPECT_TRUE(constructors[1]->isClassConstructor());

    ASSERT_EQ(point->methods()->size(), 2u);
    EXPECT_EQ((*point->methods())[0]->name(), "names");
    EXPECT_EQ((*point->methods())[1]->name(), "clear");
    ASSERT_TRUE(point->attributes().has_value());
    EXPECT_EQ(point->attributes()->size(), 1u);
}

TEST(VQJavaClass, ListsStayAbsentUntilTheirFirstEntry) {
    ClassFileWriter w;
    w.setAccess(0x0001);
    w.setThisClass("Empty");
    w.setSuperClass("java/lang/Object");
    auto empty = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    EXPECT_FALSE(empty->interfaces().has_value());
    EXPECT_FALSE(empty->fields().has_value());
    EXPECT_FALSE(empty->methods().has_value());
    EXPECT_FALSE(empty->constructors().has_value());
    EXPECT_FALSE(empty->attributes().has_value());
    EXPECT_EQ(empty->sourceFile(), nullptr);
    EXPECT_EQ(empty->description(), "public class Empty extends java.lang.Object\n{\n}");
}

TEST(VQJavaClass, HeaderWithoutSuperclass) {
    // java.lang.Object names no superclass; an empty superclass name prints no clause either.
    ClassFileWriter root;
    root.setThisClass("java/lang/Object");
    auto object = VQJavaClass::classWithData(std::span<const uint8_t>(root.bytes()));
    EXPECT_FALSE(object->superclassName().has_value());
    EXPECT_EQ(object->description(), "public class java.lang.Object\n{\n}");

    ClassFileWriter blank;
    blank.setAccess(0x0010);
    blank.setThisClass("Odd");
    blank.setSuperClass("");
    auto odd = VQJavaClass::classWithData(std::span<const uint8_t>(blank.bytes()));
    EXPECT_EQ(odd->superclassName(), "");
    EXPECT_EQ(odd->description(), "final class Odd\n{\n}");
}

TEST(VQJavaClass, InterfaceHeader) {
    ClassFileWriter w;
    w.setAccess(0x0601);
    w.setThisClass("q/Shape");
    w.setSuperClass("java/lang/Object");
    w.addInterface("java/lang/Comparable");
    w.addMethod(0x0401, "area", "()D");
    auto shape = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    EXPECT_TRUE(shape->isInterface());
    EXPECT_TRUE(shape->isAbstract());
    EXPECT_FALSE(shape->constructors().has_value());
    EXPECT_EQ(shape->description(),
              "public abstract interface q.Shape extends java.lang.Object implements "
              "java.lang.Comparable\n"
              "{\n"
              "    public abstract double area();\n"
              "}");
    // The header alone, appended to what the caller has.
    std::string header = "> ";
    shape->appendDeclarationHeader(header);
    EXPECT_EQ(header,
              "> public abstract interface q.Shape extends java.lang.Object implements "
              "java.lang.Comparable");
}

TEST(VQJavaClass, SourceFileIsTheFirst) {
    ClassFileWriter w;
    w.setThisClass("A");
    w.addClassAttribute(w.attribute("Deprecated"));
    w.addClassAttribute(w.sourceFile("A.java"));
    w.addClassAttribute(w.sourceFile("B.java"));
    auto a = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    ASSERT_NE(a->sourceFile(), nullptr);
    EXPECT_EQ(*a->sourceFile(), "A.java");
    // A class finds its attributes by name as a member does: the first, matched exactly.
    ASSERT_TRUE(a->attributes());
    EXPECT_EQ(a->attributeWithName("SourceFile"), (*a->attributes())[1]);
    EXPECT_EQ(a->attributeWithName("sourcefile"), nullptr);
    EXPECT_TRUE(a->isDeprecated());
}

TEST(VQJavaClass, FieldConstantsRender) {
    ClassFileWriter w;
    w.setThisClass("K");
    w.addField(0x0019, "YES", "Z", {w.constantValue(w.integer(1))});
    w.addField(0x0019, "LETTER", "C", {w.constantValue(w.integer('A'))});
    w.addField(0x0019, "BIG", "J", {w.constantValue(w.longInteger(int64_t{1} << 32))});
    w.addField(0x0019, "LOW", "J", {w.constantValue(w.longInteger(INT64_MIN))});
    w.addField(0x0019, "HALF", "F", {w.constantValue(w.floating(1.5f))});
    w.addField(0x0019, "S", "Ljava/lang/String;", {w.constantValue(w.string("hi there"))});
    w.addField(0x0019, "E", "Ljava/lang/String;", {w.constantValue(w.string(""))});
    auto k = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    EXPECT_EQ(k->description(),
              "public class K\n{\n"
              "    public final static boolean YES = 1;\n"
              "    public final static char LETTER = 65;\n"
              "    public final static long BIG = 4294967296;\n"
              "    public final static long LOW = -9223372036854775808;\n"
              "    public final static float HALF = 1.5;\n"
              "    public final static java.lang.String S = hi there;\n"
              "    public final static java.lang.String E = ;\n"
              "}");
}

TEST(VQJavaClass, ExampleConstantsRenderTheirValues) {
    auto constants = VQJavaClass::classWithContentsOfFile(examplePath("p/Constants.class"));
    EXPECT_EQ(constants->description(),
              "public final class p.Constants extends java.lang.Object\n"
              "{\n"
              "    public final static java.lang.String GREETING = hi;\n"
              "    public final static java.lang.String UNICODE = caf\xC3\xA9 \xE4\xB8\xAD "
              "\xF0\x9F\x98\x80 nul:" +
                  std::string(1, '\0') +
                  ";\n"
                  "    public final static long BIG = 4294967296;\n"
                  "    public final static long MIN_LONG = -9223372036854775808;\n"
                  "    public final static int MINUS_ONE = -1;\n"
                  "    public final static float HALF = 1.5;\n"
                  "    public final static float TINY = 1.4E-45;\n"
                  "    public final static double TEN_MILLION = 1.0E7;\n"
                  "    public final static double SMALL = 1.0E-5;\n"
                  "    public final static double NOT_A_NUMBER = NaN;\n"
                  "    public final static double NEGATIVE_INFINITY = -Infinity;\n"
                  "    public final static double NEGATIVE_ZERO = -0.0;\n"
                  "    public final static char LETTER = 65;\n"
                  "    public final static boolean YES = 1;\n"
                  "    public final static byte SMALL_BYTE = -128;\n"
                  "    public final static short SHORT = 32767;\n"
                  "    protected volatile int counter;\n"
                  "    private p.Constants();\n"
                  "}");
}

TEST(VQJavaClass, LambdasInterfacesAndNestedClassesParse) {
    auto lambdas = VQJavaClass::classWithContentsOfFile(examplePath("p/Lambdas.class"));
    EXPECT_EQ(lambdas->className(), "p.Lambdas");
    ASSERT_TRUE(lambdas->methods().has_value());
    // The lambda bodies are private synthetic methods beside the four written ones.
    EXPECT_GE(lambdas->methods()->size(), 4u);
    EXPECT_NE(lambdas->description().find("    public java.util.List lengths(java.util.List);\n"),
              std::string::npos);

    auto shape = VQJavaClass::classWithContentsOfFile(examplePath("q/Shape.class"));
    EXPECT_EQ(shape->description(),
              "public abstract interface q.Shape extends java.lang.Object\n{\n    public abstract "
              "double area();\n}");

    auto inner = VQJavaClass::classWithContentsOfFile(examplePath("p/Outer$Inner.class"));
    EXPECT_EQ(inner->className(), "p.Outer$Inner");
}

TEST(VQJavaClass, FailuresRaiseAndMakeNoClass) {
    try {
        VQJavaClass::classWithContentsOfFile("/nonexistent/dir/X.class");
        FAIL() << "no exception";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "Can't map java class file /nonexistent/dir/X.class");
    }
    // A directory is not a class file that can be read.
    EXPECT_THROW(VQJavaClass::classWithContentsOfFile(std::string(ORNITH_SOURCE_DIR) + "/examples"),
                 VQInvalidArgumentException);
    try {
        const Bytes junk{'P', 'K', 3, 4, 0, 0};
        VQJavaClass::classWithData(std::span<const uint8_t>(junk));
        FAIL() << "no exception";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "Not a java .class file");
    }
    EXPECT_THROW(VQJavaClass::classWithData(std::span<const uint8_t>()),
                 VQInvalidArgumentException);

    // A ConstantValue that names a class is an inconsistency, raised through construction.
    ClassFileWriter w;
    w.setThisClass("Bad");
    w.addField(0x0019, "f", "I", {w.constantValue(w.classRef("Bad"))});
    EXPECT_THROW(VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes())),
                 VQInternalInconsistencyException);
}

TEST(VQJavaClass, TwoClassesFromTheSameBytesAreDistinct) {
    const Bytes bytes = pointClassFile();
    auto a = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    auto b = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    EXPECT_NE(a, b);
    EXPECT_NE((*a->fields())[0], (*b->fields())[0]);
    EXPECT_EQ(a->description(), b->description());
}

TEST(VQJavaClass, MembersOutliveTheirClass) {
    std::shared_ptr<const VQJavaMethod> method;
    {
        auto point = VQJavaClass::classWithData(std::span<const uint8_t>(pointClassFile()));
        method = (*point->methods())[0];
    }
    EXPECT_EQ(method->description(),
              "public synchronized java.lang.String[] names(int[][], java.lang.Object)");
}

// A member handed out shares its class's ownership: the class, its storage and so the
// member's own name and attributes stay while the member does, and go with it (ASan and
// LeakSanitizer watch both halves).
TEST(VQJavaClass, AMemberKeepsItsClassAlive) {
    std::weak_ptr<VQJavaClass> weak;
    std::shared_ptr<const VQJavaConstructor> constructor;
    std::string_view name;
    {
        auto point = VQJavaClass::classWithData(std::span<const uint8_t>(pointClassFile()));
        weak = point;
        constructor = (*point->constructors())[0];
        name = constructor->name();
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(name, "p.Point");
    EXPECT_EQ(constructor->attributeWithName("Code")->typeName(), "Code");
    EXPECT_EQ(constructor->returnType()->className(), "p.Point");
    EXPECT_EQ(weak.lock()->className(), "p.Point");
    constructor.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(VQJavaClass, ANameGivenAgainLeavesTheConstructorsNamed) {
    // The builder operations are public: a second class name must not rename the
    // constructors, which are named with the first.
    ClassFileWriter w;
    w.setThisClass("p/First");
    w.addMethod(1, "<init>", "()V");
    auto c = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    const std::string longer(80, 'x');
    for (const std::string& name : {std::string("p.Second"), longer}) {
        c->setClassName(name);
        EXPECT_EQ(c->className(), name);
        EXPECT_EQ((*c->constructors())[0]->name(), "p.First");
    }
}

TEST(VQJavaClass, RepeatedRequestsAnswerTheSameObjects) {
    auto point = VQJavaClass::classWithData(std::span<const uint8_t>(pointClassFile()));
    const auto& methods = *point->methods();
    EXPECT_EQ(methods[0].get(), methods[0].get());
    EXPECT_EQ(methods[0].get(), methods.items()[0]);
    EXPECT_EQ((*methods.begin()).get(), methods.front().get());
    EXPECT_EQ(methods.back().get(), methods[methods.size() - 1].get());
    EXPECT_THROW(methods.at(methods.size()), std::out_of_range);
    EXPECT_EQ(point->methods()->end() - point->methods()->begin(),
              static_cast<std::ptrdiff_t>(methods.size()));
    EXPECT_EQ(methods[0]->name().data(), methods[0]->name().data());
    EXPECT_EQ(methods[0]->returnType(), methods[0]->returnType());
    EXPECT_EQ(methods[0]->argumentTypeAtIndex(1), methods[0]->argumentTypeAtIndex(1));
    const auto field = (*point->fields())[2];
    EXPECT_EQ(&field->type(), &(*point->fields())[2]->type());
    EXPECT_EQ(point->className()->data(), point->className()->data());
    EXPECT_EQ(point->attributes()->data(), point->attributes()->data());
    // Every constructor carries the class's own name, not a copy per constructor.
    EXPECT_EQ((*point->constructors())[0]->name().data(), point->className()->data());
    EXPECT_EQ((*point->constructors())[1]->name().data(), point->className()->data());
}

// Absent means the class file had none; the storage hints must not make a list early.
TEST(VQJavaClass, AbsentListsStayApartFromEmptyOnes) {
    ClassFileWriter w;
    w.setThisClass("p/OnlyConstructors");
    w.setSuperClass("java/lang/Object");
    for (const char* d : {"()V", "(I)V", "(J)V", "(D)V"}) w.addMethod(0x0001, "<init>", d);
    w.addField(0, "f", "I", {});
    w.addMethod(0x0001, "<init>", "(F)V", {w.attribute("Deprecated")});
    w.addClassAttribute(w.attribute("Deprecated"));
    auto c = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    EXPECT_FALSE(c->methods().has_value());
    EXPECT_FALSE(c->interfaces().has_value());
    ASSERT_TRUE(c->constructors().has_value());
    EXPECT_EQ(c->constructors()->size(), 5u);
    EXPECT_FALSE((*c->constructors())[0]->attributes().has_value());
    ASSERT_TRUE((*c->constructors())[4]->attributes().has_value());
    EXPECT_EQ((*c->constructors())[4]->attributes()->size(), 1u);
    EXPECT_FALSE((*c->fields())[0]->attributes().has_value());
    EXPECT_TRUE(c->isDeprecated());
}

// A class larger than any first guess: its storage grows by further chunks, and every
// name and descriptor stays whole across them.
TEST(VQJavaClass, StorageGrowsOverManyAndLongMembers) {
    ClassFileWriter w;
    w.setThisClass("p/Big");
    w.setSuperClass("java/lang/Object");
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i) {
        names.push_back(std::string(static_cast<size_t>(20 + i % 200), 'a') + std::to_string(i));
        w.addMethod(0x0001, names.back(), "(Ljava/lang/String;[[JI)V",
                    {w.attribute("Deprecated"), w.attribute("Synthetic")});
        w.addField(0x0001, names.back(), "Ljava/util/List;");
    }
    const Bytes bytes = w.bytes();
    auto big = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    EXPECT_GT(big->storageChunks(), 1u);
    ASSERT_EQ(big->methods()->size(), 2000u);
    ASSERT_EQ(big->fields()->size(), 2000u);
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ((*big->methods())[i]->name(), names[i]);
        ASSERT_EQ((*big->fields())[i]->name(), names[i]);
        ASSERT_EQ((*big->methods())[i]->attributes()->size(), 2u);
    }
    EXPECT_EQ((*big->methods())[1999]->description(),
              "public void " + names[1999] + "(java.lang.String, long[][], int)");
    // What the storage took stays in proportion to what it holds.
    EXPECT_LE(big->storageBytes(), 2 * big->storageBytesUsed() + 4096);
}

// A hostile file that names one long text from every member (a pool entry of 60,000
// bytes, 3,000 fields) keeps the text once; a copy per member would take 180 MB.
TEST(VQJavaClass, OneLongTextNamedByEveryMemberIsKeptOnce) {
    ClassFileWriter w;
    w.setThisClass("p/Hostile");
    const std::string longName(60000, 'n');
    for (int i = 0; i < 3000; ++i) w.addField(0, longName, longName);
    auto c = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    ASSERT_EQ(c->fields()->size(), 3000u);
    EXPECT_EQ((*c->fields())[2999]->name(), longName);
    EXPECT_EQ((*c->fields())[0]->name().data(), (*c->fields())[2999]->signature().data());
    EXPECT_LT(c->storageBytes(), size_t{2} << 20);

    // A text that must be decoded (not plain ASCII) comes from the parser's scratch, not
    // from the class bytes: it is known by its contents, and kept once all the same.
    ClassFileWriter decoded;
    decoded.setThisClass("p/Decoded");
    std::string wide;
    for (int i = 0; i < 20000; ++i) wide += "\xC3\xA9";
    for (int i = 0; i < 3000; ++i) decoded.addField(0, wide, "I");
    auto d = VQJavaClass::classWithData(std::span<const uint8_t>(decoded.bytes()));
    ASSERT_EQ(d->fields()->size(), 3000u);
    EXPECT_EQ((*d->fields())[2999]->name(), wide);
    EXPECT_EQ((*d->fields())[0]->name().data(), (*d->fields())[2999]->name().data());
    EXPECT_LT(d->storageBytes(), size_t{2} << 20);
}

TEST(VQJavaClass, SetFieldCountKeepsFieldsAlreadyAdded) {
    ClassFileWriter w;
    w.setThisClass("F");
    w.addField(0, "a", "I");
    auto f = VQJavaClass::classWithData(std::span<const uint8_t>(w.bytes()));
    f->setFieldCount(10);
    ASSERT_TRUE(f->fields().has_value());
    EXPECT_EQ(f->fields()->size(), 1u);

    ClassFileWriter none;
    none.setThisClass("G");
    auto g = VQJavaClass::classWithData(std::span<const uint8_t>(none.bytes()));
    g->setFieldCount(-1);
    ASSERT_TRUE(g->fields().has_value());
    EXPECT_TRUE(g->fields()->empty());
}

// A class file that another process truncates and rewrites while it is read: each read
// gives a class or an exception, never SIGBUS (the file is read, not mapped).
TEST(VQJavaClass, AFileShrunkWhileReadGivesNoSignal) {
    ClassFileWriter w;
    w.setThisClass("p/Big");
    w.setSuperClass("java/lang/Object");
    w.addClassAttribute(w.attribute("Padding", Bytes(300 * 1024, 0x5A)));
    const Bytes whole = w.bytes();
    const std::string path =
        ::testing::TempDir() + "ornith_shrinking_" + std::to_string(::getpid()) + ".class";
    auto write = [&](size_t length) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(whole.data()),
                   static_cast<std::streamsize>(length));
    };
    write(whole.size());
    std::atomic<bool> stop{false};
    std::thread shrinker([&] {
        for (size_t round = 0; !stop.load(); ++round) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(round % 7 * 100)), 0);
            write(whole.size());
        }
    });
    size_t parsed = 0, failed = 0;
    for (int i = 0; i < 300; ++i) {
        try {
            EXPECT_EQ(VQJavaClass::classWithContentsOfFile(path)->className(), "p.Big");
            ++parsed;
        } catch (const VQException&) {
            ++failed;
        }
    }
    stop = true;
    shrinker.join();
    std::remove(path.c_str());
    EXPECT_EQ(parsed + failed, 300u);
}

// ---- Lazy attributes ---------------------------------------------------------------------

std::shared_ptr<VQJavaClass> lazilyRead(const Bytes& bytes) {
    VQClassOptions options;
    options.lazyAttributes = true;
    return VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(bytes), options);
}

TEST(VQJavaClass, LazyAttributesAnswerAsTheEagerParse) {
    const Bytes bytes = pointClassFile();
    const auto eager = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    const auto lazy = lazilyRead(bytes);
    EXPECT_EQ(lazy->description(), eager->description());
    ASSERT_TRUE(lazy->sourceFile());
    EXPECT_EQ(*lazy->sourceFile(), *eager->sourceFile());
    ASSERT_TRUE(lazy->attributes());
    EXPECT_EQ(lazy->attributes()->size(), eager->attributes()->size());
    // The same objects at every request once decoded.
    EXPECT_EQ(lazy->attributes()->data(), lazy->attributes()->data());
    // Lazy reading needs the bytes kept: the factories that lend them have no such option,
    // and a lazy class keeps its bytes as any keeping factory does.
    EXPECT_EQ(lazy->classFileBytes().size(), bytes.size());
    const std::string path = examplePath("p/Point.class");
    VQClassOptions options;
    options.lazyAttributes = true;
    EXPECT_EQ(VQJavaClass::classWithContentsOfFile(path, options)->description(),
              eager->description());
}

// A fault in an attribute stays in the file until its list is asked for; then it raises
// what the eager parse raised, at every request, and the other lists still answer.
TEST(VQJavaClass, ALazyListRaisesTheEagerFailureWhenAsked) {
    ClassFileWriter w;
    w.setThisClass("Bad");
    w.setSuperClass("java/lang/Object");
    w.addField(0x0019, "good", "I", {w.constantValue(w.integer(7))});
    w.addField(0x0019, "bad", "I", {w.constantValue(w.classRef("Bad"))});
    w.addField(0x0001, "plain", "J");
    w.addMethod(0x0001, "m", "()V", {w.exceptions({"java/io/IOException"})});
    w.addClassAttribute(w.attribute("SourceFile", {0x7F, 0x7F}));
    const Bytes bytes = w.bytes();

    std::string eagerReason;
    std::optional<uint64_t> eagerOffset;
    try {
        VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
        FAIL() << "the eager parse accepted it";
    } catch (const VQInternalInconsistencyException& e) {
        eagerReason = e.reason();
        eagerOffset = e.offset();
    }

    const auto lazy = lazilyRead(bytes);
    EXPECT_EQ(lazy->className(), "Bad");
    ASSERT_TRUE(lazy->fields());
    ASSERT_EQ(lazy->fields()->size(), 3u);
    const auto bad = lazy->fields()->at(1);
    for (int ask = 0; ask < 2; ++ask) {
        try {
            (void)bad->attributes();
            FAIL() << "the faulty list decoded";
        } catch (const VQInternalInconsistencyException& e) {
            EXPECT_EQ(e.reason(), eagerReason);
            EXPECT_EQ(e.offset(), eagerOffset);
        }
    }
    // Every query that reads the list raises too.
    EXPECT_THROW((void)bad->initialValue(), VQInternalInconsistencyException);
    ASSERT_TRUE(lazy->fields()->at(0)->initialValue());
    EXPECT_EQ(lazy->fields()->at(0)->initialValue()->description(), "7");
    // A list of no attributes is absent without any decoding.
    EXPECT_FALSE(lazy->fields()->at(2)->attributes());
    ASSERT_TRUE(lazy->methods());
    ASSERT_TRUE(lazy->methods()->front()->exceptions());
    EXPECT_EQ(lazy->methods()->front()->exceptions()->front(), "java.io.IOException");
    // The class's SourceFile names a pool index past the end.
    try {
        (void)lazy->sourceFile();
        FAIL() << "the class's list decoded";
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_EQ(e.reason(), "bad constant pool index 32639");
    }
}

// Several threads asking the same lists of one lazily read class at once get the same
// objects (scripts/tsan.sh runs this under ThreadSanitizer).
TEST(VQJavaClass, LazyListsMayBeAskedFromSeveralThreads) {
    const Bytes bytes = pointClassFile();
    for (int round = 0; round < 5; ++round) {
        const auto lazy = lazilyRead(bytes);
        constexpr size_t kThreads = 4;
        std::vector<std::vector<const VQJavaAttribute*>> seen(kThreads);
        std::atomic<size_t> ready{0};
        std::vector<std::thread> threads;
        for (size_t t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) std::this_thread::yield();
                auto note = [&](const VQAttributedElement& element) {
                    if (const auto list = element.attributes())
                        for (const auto& attribute : *list) seen[t].push_back(attribute.get());
                };
                if (lazy->methods())
                    for (const VQJavaMethod* method : lazy->methods()->items()) note(*method);
                if (lazy->fields())
                    for (const VQJavaField* field : lazy->fields()->items()) note(*field);
                note(*lazy);
            });
        for (std::thread& thread : threads) thread.join();
        ASSERT_FALSE(seen[0].empty());
        for (size_t t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
    }
}

}  // namespace
}  // namespace ornith
