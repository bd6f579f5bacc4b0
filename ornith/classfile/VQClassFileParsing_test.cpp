#include "ornith/classfile/VQClassFileParsing.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

Bytes exampleClass(const char* relative) {
    auto buffer = VQByteBuffer::bufferWithContentsOfFile(
        std::string(ORNITH_SOURCE_DIR "/examples/classes/") + relative);
    if (!buffer) throw std::runtime_error(std::string("missing example ") + relative);
    return Bytes(buffer->bytes(), buffer->bytes() + buffer->length());
}

// "[SourceFile,Code]", or "none" for an absent list: the owned lists of the string
// operations and the lent ones of the views operations alike.
template <class List>
std::string describe(const std::optional<List>& attributes) {
    if (!attributes) return "none";
    std::string out = "[";
    for (const auto& a : *attributes) out += (out.size() > 1 ? "," : "") + a->typeName();
    return out + "]";
}

// Implements the seven operations the class model uses and records every call in order.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<std::optional<VQAttributeList>> lists;  // every attribute list received, in order

    void setClassAccess(int32_t flags) { calls.push_back("access " + std::to_string(flags)); }
    void setClassName(std::string name) { calls.push_back("class " + name); }
    void setSuperClassName(std::optional<std::string> name) {
        calls.push_back("super " + name.value_or("<none>"));
    }
    void addInterfaceName(std::string name) { calls.push_back("interface " + name); }
    void addFieldName(std::string name, std::string descriptor, int32_t flags,
                      std::optional<VQAttributeList> a) {
        calls.push_back("field " + name + " " + descriptor + " " + std::to_string(flags) + " " +
                        describe(a));
        lists.push_back(std::move(a));
    }
    void addMethodName(std::string name, std::string descriptor, int32_t flags,
                       std::optional<VQAttributeList> a) {
        calls.push_back("method " + name + " " + descriptor + " " + std::to_string(flags) + " " +
                        describe(a));
        lists.push_back(std::move(a));
    }
    void addConstructorName(std::string name, std::string descriptor, int32_t flags,
                            std::optional<VQAttributeList> a) {
        calls.push_back("constructor " + name + " " + descriptor + " " + std::to_string(flags) +
                        " " + describe(a));
        lists.push_back(std::move(a));
    }
    void setClassAttributes(std::optional<VQAttributeList> a) {
        calls.push_back("attributes " + describe(a));
        lists.push_back(std::move(a));
    }
};

// The variants without attributes only.
struct PlainRecorder {
    std::vector<std::string> calls;
    void addFieldName(std::string name, std::string descriptor, int32_t flags) {
        calls.push_back("field " + name + " " + descriptor + " " + std::to_string(flags));
    }
    void addMethodName(std::string name, std::string descriptor, int32_t flags) {
        calls.push_back("method " + name + " " + descriptor + " " + std::to_string(flags));
    }
    void addConstructorName(std::string name, std::string descriptor, int32_t flags) {
        calls.push_back("constructor " + name + " " + descriptor + " " + std::to_string(flags));
    }
};

// Both variants of each member operation: only the one with attributes may be called.
struct BothVariants : Recorder {
    using Recorder::addConstructorName;
    using Recorder::addFieldName;
    using Recorder::addMethodName;
    int plainCalls = 0;
    void addFieldName(std::string, std::string, int32_t) { ++plainCalls; }
    void addMethodName(std::string, std::string, int32_t) { ++plainCalls; }
    void addConstructorName(std::string, std::string, int32_t) { ++plainCalls; }
};

// The same record through the views operations, with the member hints noted as well. It
// keeps copies, as a views builder must: the views are valid for the call only.
struct ViewRecorder {
    std::vector<std::string> calls;
    std::vector<uint32_t> hints;
    std::vector<std::shared_ptr<const VQJavaAttribute>> taken;

    void setClassAccess(int32_t flags) { calls.push_back("access " + std::to_string(flags)); }
    void setClassName(std::string_view name) { calls.push_back("class " + std::string(name)); }
    void setSuperClassName(std::optional<std::string_view> name) {
        calls.push_back("super " + std::string(name.value_or("<none>")));
    }
    void addInterfaceName(std::string_view name) {
        calls.push_back("interface " + std::string(name));
    }
    void member(const char* kind, std::string_view name, std::string_view descriptor, int32_t flags,
                VQLentAttributes& a) {
        calls.push_back(std::string(kind) + " " + std::string(name) + " " +
                        std::string(descriptor) + " " + std::to_string(flags) + " " + describe(a));
        if (a)
            for (auto& attribute : *a) taken.push_back(std::move(attribute));
    }
    void addFieldName(std::string_view name, std::string_view descriptor, int32_t flags,
                      VQLentAttributes a) {
        member("field", name, descriptor, flags, a);
    }
    void addMethodName(std::string_view name, std::string_view descriptor, int32_t flags,
                       VQLentAttributes a) {
        member("method", name, descriptor, flags, a);
    }
    void addConstructorName(std::string_view name, std::string_view descriptor, int32_t flags,
                            VQLentAttributes a) {
        member("constructor", name, descriptor, flags, a);
    }
    void setClassAttributes(VQLentAttributes a) {
        calls.push_back("attributes " + describe(a));
        if (a)
            for (auto& attribute : *a) taken.push_back(std::move(attribute));
    }
    void expectMembers(uint32_t fields, uint32_t methods) {
        // Once, before any name is given (only the access flags come before it).
        EXPECT_TRUE(hints.empty());
        EXPECT_LE(calls.size(), 1u);
        hints = {fields, methods};
    }
};
static_assert(parsing::TakesViews<ViewRecorder> && parsing::TakesMemberHints<ViewRecorder>);
static_assert(!parsing::TakesViews<Recorder>);

struct NameOnly {
    std::vector<std::string> names;
    void setClassName(std::string name) { names.push_back(std::move(name)); }
};

// The name as a view of the parser's buffer, copied while it is valid.
struct NameOnlyView {
    std::vector<std::string> names;
    void setClassName(std::string_view name) { names.emplace_back(name); }
};
static_assert(parsing::HasSetClassNameView<NameOnlyView> &&
              !parsing::HasSetClassNameView<NameOnly>);

struct Nothing {};

static_assert(ClassFileParsing<Recorder> ==
              false);  // no setFieldCount: not the class model's interface
static_assert(parsing::HasAddFieldWithAttributes<BothVariants> &&
              parsing::HasAddField<BothVariants>);
static_assert(!parsing::HasAddField<Recorder> && !parsing::HasSetClassAccess<NameOnly>);

template <class B>
void parse(const Bytes& bytes, B& builder) {
    VQParseClassFile(std::span<const uint8_t>(bytes), builder);
}

template <class B = Recorder>
std::string failureOf(const Bytes& bytes) {
    B builder;
    try {
        parse(bytes, builder);
    } catch (const VQException& e) {
        return e.name() + ": " + e.reason();
    }
    return "parsed";
}

TEST(VQParseClassFile, ReportsARealClassInFileOrder) {
    Recorder r;
    parse(exampleClass("p/Point.class"), r);
    const std::vector<std::string> expected = {
        "access 33",
        "class p.Point",
        "super java.lang.Object",
        "interface java.io.Serializable",
        "interface java.lang.Cloneable",
        "field ORIGIN I 25 [ConstantValue]",
        "field x I 2 none",
        "field cache [J 132 none",
        "constructor p.Point (II)V 1 [Code,Exceptions]",
        "method names ([[ILjava/lang/Object;)[Ljava/lang/String; 33 [Code]",
        "method clear ()V 257 none",
        "constructor p.Point ()V 8 [Code]",  // the static initializer
        "attributes [SourceFile]",
    };
    EXPECT_EQ(r.calls, expected);
    ASSERT_TRUE(r.lists.size() == 8 && r.lists[3] && r.lists.back());
    const auto& exceptions = dynamic_cast<const VQJavaExceptionsAttribute&>(*(*r.lists[3])[1]);
    EXPECT_EQ(exceptions.exceptionTable(),
              std::vector<std::string>{"java.lang.IllegalArgumentException"});
    EXPECT_EQ(dynamic_cast<const VQJavaSourceAttribute&>(*(*r.lists.back())[0]).sourceName(),
              "Point.java");
}

TEST(VQParseClassFile, ReadsModernConstantKinds) {
    // Lambdas and string concatenation put MethodHandle, MethodType and InvokeDynamic entries in
    // the pool.
    Recorder r;
    parse(exampleClass("p/Lambdas.class"), r);
    ASSERT_GE(r.calls.size(), 4u);
    EXPECT_EQ(r.calls[1], "class p.Lambdas");
    EXPECT_EQ(r.calls[4], "constructor p.Lambdas (Ljava/lang/String;)V 1 [Code]");
    EXPECT_EQ(r.calls.back(), "attributes [SourceFile,BootstrapMethods,InnerClasses]");
    int lambdas = 0;
    for (const auto& c : r.calls) lambdas += c.rfind("method lambda$", 0) == 0;
    EXPECT_EQ(lambdas, 2);

    for (const char* name : {"Hello.class", "p/Constants.class", "p/Outer$1.class",
                             "p/Outer$1Local.class", "p/Outer$Base.class", "p/Outer$Inner.class",
                             "p/Outer$Nested.class", "p/Outer.class", "q/Shape.class"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(failureOf(exampleClass(name)), "parsed");
    }
}

// A small class with one member of each kind, each carrying a malformed ConstantValue
// (it names a Class entry) so that any attribute decoding shows as an exception.
Bytes poisonedClass() {
    ClassFileWriter w;
    w.setThisClass("p/Q");
    w.setSuperClass("java/lang/Object");
    w.addInterface("java/lang/Runnable");
    const uint16_t notAConstant = w.classRef("java/lang/String");
    w.addField(0x0019, "F", "I", {w.constantValue(notAConstant)});
    w.addMethod(0x0001, "<init>", "(I)V", {w.constantValue(notAConstant)});
    w.addMethod(0x0001, "run", "()V", {w.constantValue(notAConstant)});
    w.addClassAttribute(w.constantValue(notAConstant));
    return w.bytes();
}

TEST(VQParseClassFile, DecodesAttributesOnlyForOperationsThatTakeThem) {
    const Bytes bytes = poisonedClass();

    NameOnly names;
    parse(bytes, names);
    EXPECT_EQ(names.names, std::vector<std::string>{"p.Q"});

    PlainRecorder plain;
    parse(bytes, plain);
    EXPECT_EQ(plain.calls, (std::vector<std::string>{"field F I 25", "constructor p.Q (I)V 1",
                                                     "method run ()V 1"}));

    Nothing nothing;
    parse(bytes, nothing);

    EXPECT_EQ(failureOf(bytes),
              "InternalInconsistencyException: ConstantValue attribute for something that's not a "
              "constant value "
              "(type = 7) at index 8 in the constant pool.");
    // The member whose attributes failed is never reported.
    Recorder r;
    EXPECT_THROW(parse(bytes, r), VQInternalInconsistencyException);
    EXPECT_EQ(r.calls.back(), "interface java.lang.Runnable");
}

TEST(VQParseClassFile, CallsOnlyTheVariantWithAttributes) {
    ClassFileWriter w;
    w.setThisClass("p/Q");
    w.addField(0, "f", "J");
    w.addMethod(0, "<init>", "()V");
    w.addMethod(0, "m", "()V");
    BothVariants b;
    parse(w.bytes(), b);
    EXPECT_EQ(b.plainCalls, 0);
    EXPECT_EQ(b.calls, (std::vector<std::string>{"access 33", "class p.Q", "super <none>",
                                                 "field f J 0 none", "constructor p.Q ()V 0 none",
                                                 "method m ()V 0 none", "attributes none"}));
}

TEST(VQParseClassFile, SortsMethodsFromConstructorsByTheirFirstCharacter) {
    ClassFileWriter w;
    w.setThisClass("a/b/C");
    w.setSuperClass("a/b/Base");
    w.addMethod(0x0008, "<clinit>", "()V");
    w.addMethod(0, "m<init>", "()V");
    w.addMethod(0, "<", "(J)V");
    w.addMethod(0, "x", "()I");
    w.addMethod(0, "<init>", "(I)V", {w.exceptions({})});
    Recorder r;
    parse(w.bytes(), r);
    EXPECT_EQ(r.calls, (std::vector<std::string>{
                           "access 33", "class a.b.C", "super a.b.Base",
                           "constructor a.b.C ()V 8 none", "method m<init> ()V 0 none",
                           "constructor a.b.C (J)V 0 none", "method x ()I 0 none",
                           "constructor a.b.C (I)V 0 [Exceptions]", "attributes none"}));
    // An empty exception table is an empty list, not an absent one.
    ASSERT_TRUE(r.lists.size() == 6 && r.lists[4]);
    EXPECT_TRUE(
        dynamic_cast<const VQJavaExceptionsAttribute&>(*(*r.lists[4])[0]).exceptionTable().empty());
}

TEST(VQParseClassFile, AcceptsEveryVersionAndIgnoresTrailingBytes) {
    for (uint16_t major : std::initializer_list<uint16_t>{0, 45, 61, 99, 65535}) {
        ClassFileWriter w;
        w.setThisClass("V");
        w.setVersion(major, 65535);
        Bytes bytes = w.bytes();
        bytes.push_back(0xFF);
        NameOnly n;
        parse(bytes, n);
        EXPECT_EQ(n.names, std::vector<std::string>{"V"}) << major;
    }
}

TEST(VQParseClassFile, RefusesWhatIsNotAClassFileBeforeAnyCall) {
    const std::vector<Bytes> notClassFiles = {
        {},
        {0xCA},
        {0xCA, 0xFE},
        {0xCA, 0xFE, 0xBA},
        {0xCA, 0xFE, 0xBA, 0xBF},
        {0xBE, 0xBA, 0xFE, 0xCA, 0, 0, 0, 52},
        {'P', 'K', 3, 4, 0, 0},
        {0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const Bytes& bytes : notClassFiles) {
        Recorder r;
        EXPECT_EQ(failureOf(bytes), "InvalidArgumentException: Not a java .class file");
        EXPECT_THROW(parse(bytes, r), VQInvalidArgumentException);
        EXPECT_TRUE(r.calls.empty());
    }
    // The magic alone: the file ends where its version is due.
    EXPECT_EQ(failureOf({0xCA, 0xFE, 0xBA, 0xBE}),
              "InvalidArgumentException: Truncated java .class file");
}

TEST(VQParseClassFile, RefusesUnknownConstantKindsBeforeAnyCall) {
    for (uint8_t tag : std::initializer_list<uint8_t>{0, 13, 14, 21, 255}) {
        ClassFileWriter w;
        w.setThisClass("p/Q");
        w.raw(tag, {0, 0, 0, 0});
        Recorder r;
        EXPECT_EQ(failureOf(w.bytes()),
                  "InvalidArgumentException: unknown constant type " + std::to_string(tag));
        EXPECT_THROW(parse(w.bytes(), r), VQInvalidArgumentException);
        EXPECT_TRUE(r.calls.empty());
    }
}

// Every proper prefix of a class file is cut short somewhere, so it must fail, for a
// builder that takes everything and for one that takes only the name.
TEST(VQParseClassFile, FailsCleanlyOnEveryTruncation) {
    for (const char* name : {"p/Point.class", "p/Lambdas.class", "p/Constants.class"}) {
        const Bytes whole = exampleClass(name);
        for (size_t n = 0; n < whole.size(); ++n) {
            // A copy of exactly n bytes, so that a sanitizer sees any read past it.
            const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            Recorder r;
            NameOnly names;
            ViewRecorder views;
            EXPECT_THROW(parse(prefix, r), VQException) << name << " cut at " << n;
            EXPECT_THROW(parse(prefix, names), VQException) << name << " cut at " << n;
            EXPECT_EQ(failureOf<ViewRecorder>(prefix), failureOf(prefix))
                << name << " cut at " << n;
            // The calls made before the failure are the same ones too.
            try {
                parse(prefix, views);
            } catch (const VQException&) {
            }
            EXPECT_EQ(views.calls, r.calls) << name << " cut at " << n;
            NameOnlyView nameView;
            EXPECT_EQ(failureOf<NameOnlyView>(prefix), failureOf<NameOnly>(prefix))
                << name << " cut at " << n;
            try {
                parse(prefix, nameView);
            } catch (const VQException&) {
            }
            EXPECT_EQ(nameView.names, names.names) << name << " cut at " << n;
        }
        EXPECT_EQ(failureOf(whole), "parsed");
    }
}

// What a failure says: its text, its kind, and where in the file decoding stopped.
struct Failure {
    std::string reason;
    VQErrorKind kind = VQErrorKind::other;
    std::optional<uint64_t> offset;
};
template <class B>
std::optional<Failure> failureDetails(const Bytes& bytes) {
    B builder;
    try {
        parse(bytes, builder);
    } catch (const VQException& e) {
        return Failure{e.reason(), e.kind(), e.offset()};
    }
    return std::nullopt;
}

// A file cut anywhere after its magic is truncated, wherever the cut falls: inside the
// version, the pool count, a pool entry, between entries, or in the members after the
// pool. Every builder style hears the same, with the kind, and an offset within the bytes
// that are there.
TEST(VQParseClassFile, ACutAnywhereAfterTheMagicIsATruncation) {
    for (const char* name : {"p/Lambdas.class", "p/Point.class", "p/Constants.class"}) {
        const Bytes whole = exampleClass(name);
        for (size_t n = 4; n < whole.size(); ++n) {
            const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            for (const std::optional<Failure>& failure :
                 {failureDetails<Recorder>(prefix), failureDetails<ViewRecorder>(prefix),
                  failureDetails<NameOnly>(prefix), failureDetails<NameOnlyView>(prefix)}) {
                ASSERT_TRUE(failure) << name << " cut at " << n;
                EXPECT_EQ(failure->reason, "Truncated java .class file") << name << " cut at " << n;
                EXPECT_EQ(failure->kind, VQErrorKind::truncatedClassFile)
                    << name << " cut at " << n;
                ASSERT_TRUE(failure->offset) << name << " cut at " << n;
                EXPECT_LE(*failure->offset, n) << name << " cut at " << n;
            }
        }
    }
}

// Every failure of the parse carries its kind, and where known the offset of what failed.
TEST(VQParseClassFile, FailuresSayWhatFailedAndWhere) {
    const std::optional<Failure> notClass = failureDetails<Recorder>({'P', 'K', 3, 4});
    ASSERT_TRUE(notClass);
    EXPECT_EQ(notClass->kind, VQErrorKind::notClassFile);

    ClassFileWriter unknown;
    unknown.setThisClass("p/Q");
    const size_t tagAt = unknown.bytes().size() - 14;  // the entry after the writer's own
    unknown.raw(13, {0, 0, 0, 0});
    const std::optional<Failure> tag = failureDetails<Recorder>(unknown.bytes());
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->reason, "unknown constant type 13");
    EXPECT_EQ(tag->kind, VQErrorKind::unknownConstant);
    EXPECT_EQ(tag->offset, tagAt);

    // this_class names a Utf8 entry: the index at offset 10 past the pool (after access).
    ClassFileWriter w;
    w.classRef("p/Q");
    w.setThisClassIndex(1);
    const Bytes bytes = w.bytes();
    const size_t thisClassAt = bytes.size() - 12;
    for (const std::optional<Failure>& index :
         {failureDetails<Recorder>(bytes), failureDetails<ViewRecorder>(bytes)}) {
        ASSERT_TRUE(index);
        EXPECT_EQ(index->reason, "bad constant pool index 1");
        EXPECT_EQ(index->kind, VQErrorKind::badPoolIndex);
        EXPECT_EQ(index->offset, thisClassAt);
    }

    // A SourceFile naming no Utf8 entry fails where its index stands in the file.
    ClassFileWriter s;
    s.setThisClass("p/Q");
    s.addClassAttribute(s.attribute("SourceFile", {0x01, 0x2C}));
    const Bytes withSource = s.bytes();
    const std::optional<Failure> source = failureDetails<Recorder>(withSource);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->reason, "bad constant pool index 300");
    EXPECT_EQ(source->kind, VQErrorKind::badPoolIndex);
    EXPECT_EQ(source->offset, withSource.size() - 2);
}

// A context kept by the host serves parse after parse with the same results as a parse
// of its own, and a parse begun inside a builder call leaves the views of the parse
// around it intact.
TEST(VQParseClassFile, AKeptContextServesParseAfterParseAndParsesNest) {
    VQParseContext context;
    for (int round = 0; round < 2; ++round) {
        for (const char* name : {"p/Lambdas.class", "p/Point.class", "p/Constants.class"}) {
            const Bytes bytes = exampleClass(name);
            Recorder own, kept;
            ViewRecorder keptViews;
            parse(bytes, own);
            VQParseClassFile(std::span<const uint8_t>(bytes), kept, context);
            VQParseClassFile(std::span<const uint8_t>(bytes), keptViews, context);
            EXPECT_EQ(kept.calls, own.calls) << name;
            EXPECT_EQ(keptViews.calls, own.calls) << name;
        }
    }

    // The inner parse runs while the outer one's views are lent; they must still read
    // the outer class when the inner parse is done.
    struct Nesting : ViewRecorder {
        Bytes inner;
        std::vector<std::string> innerCalls;
        void setClassName(std::string_view name) {
            Recorder nested;
            parse(inner, nested);
            innerCalls = nested.calls;
            ViewRecorder::setClassName(name);
        }
    };
    Nesting outer;
    outer.inner = exampleClass("p/Point.class");
    const Bytes lambdas = exampleClass("p/Lambdas.class");
    parse(lambdas, outer);
    Recorder plainOuter, plainInner;
    parse(lambdas, plainOuter);
    parse(outer.inner, plainInner);
    EXPECT_EQ(outer.calls, plainOuter.calls);
    EXPECT_EQ(outer.innerCalls, plainInner.calls);
}

// The views path hands over the same texts, flags and attributes, in the same order, as
// the path that makes a string per name: for plain ASCII names (views of the class bytes),
// for names that need decoding (views of the reused buffer), and for the class name
// repeated for every constructor.
TEST(VQParseClassFile, ViewsBuilderHearsWhatAStringBuilderHears) {
    ClassFileWriter unusual;
    unusual.setThisClass("p/\xC3\xA9t\xC3\xA9");
    unusual.setSuperClass("java/lang/Object");
    unusual.addInterface("q/\xE2\x82\xACuro");
    unusual.addField(0x0002, "\xC3\xA0", "Lp/\xC3\xA9t\xC3\xA9;");
    unusual.addMethod(0x0001, "<init>", "()V");
    unusual.addMethod(0x0001, "<init>", "(I)V");
    unusual.addMethod(0x0009, "m\xC3\xBC", "(Ljava/lang/String;)V",
                      {unusual.exceptions({"java/io/IOException"})});
    unusual.addClassAttribute(unusual.sourceFile("\xC3\xA9t\xC3\xA9.java"));
    std::vector<Bytes> inputs = {unusual.bytes()};
    for (const char* name : {"p/Point.class", "p/Lambdas.class", "p/Constants.class"})
        inputs.push_back(exampleClass(name));
    for (const Bytes& bytes : inputs) {
        Recorder strings;
        ViewRecorder views;
        parse(bytes, strings);
        parse(bytes, views);
        EXPECT_EQ(views.calls, strings.calls);
        NameOnlyView nameView;
        parse(bytes, nameView);
        EXPECT_EQ(nameView.names, std::vector<std::string>{strings.calls[1].substr(6)});
        // Every attribute object handed over was taken, none left behind.
        size_t offered = 0;
        for (const auto& list : strings.lists) offered += list ? list->size() : 0;
        EXPECT_EQ(views.taken.size(), offered);
        for (const auto& attribute : views.taken) EXPECT_NE(attribute, nullptr);
    }
}

// The member hints come once, up front, with both tables' counts (the method count read
// past fields that have attributes), never more than the bytes left could hold: a stated
// count alone must not make a builder reserve for it.
TEST(VQParseClassFile, MemberHintsAreBoundedByTheBytesLeft) {
    ClassFileWriter w;
    w.setThisClass("p/H");
    w.addField(0, "a", "I", {w.constantValue(w.integer(3)), w.attribute("Odd", Bytes(9, 1))});
    w.addField(0, "b", "J");
    w.addMethod(0, "m", "()V");
    w.addMethod(0, "<init>", "()V");
    w.addMethod(0, "n", "()V");
    ViewRecorder honest;
    parse(w.bytes(), honest);
    EXPECT_EQ(honest.hints, (std::vector<uint32_t>{2, 3}));

    // A field count of 65535 with a few bytes after it: the hint is what those bytes allow.
    ClassFileWriter base;
    base.setThisClass("p/Q");
    Bytes bytes = base.bytes();
    bytes.resize(bytes.size() - 6);  // drop the field, method and attribute counts
    testing::putU2(bytes, 0xFFFF);
    bytes.insert(bytes.end(), 40, 0);
    ViewRecorder hostile;
    EXPECT_THROW(parse(bytes, hostile), VQException);
    // The fields' walk runs out of bytes, so nothing is known of the methods.
    EXPECT_EQ(hostile.hints, (std::vector<uint32_t>{40u / 8, 0}));

    // A method count of 65535 after an honest field table: cut the same way.
    ClassFileWriter few;
    few.setThisClass("p/M");
    Bytes methods = few.bytes();
    methods.resize(methods.size() - 4);  // drop the method and attribute counts
    testing::putU2(methods, 0xFFFF);
    methods.insert(methods.end(), 26, 0);
    ViewRecorder many;
    EXPECT_THROW(parse(methods, many), VQException);
    EXPECT_EQ(many.hints, (std::vector<uint32_t>{0, 26u / 8}));
}

TEST(VQParseClassFile, BoundsCountsAndLengthsByTheDataPresent) {
    const std::string truncated = "InvalidArgumentException: Truncated java .class file";
    ClassFileWriter base;
    base.setThisClass("p/Q");
    const Bytes header = base.bytes();
    const size_t afterSuper =
        header.size() - 8;  // interfaces, fields, methods, attributes counts follow

    // A count of 65535 at each of the four counts, with nothing after it.
    for (size_t k = 0; k < 4; ++k) {
        Bytes bytes(header.begin(),
                    header.begin() + static_cast<std::ptrdiff_t>(afterSuper + 2 * k));
        testing::putU2(bytes, 0xFFFF);
        EXPECT_EQ(failureOf(bytes), truncated) << k;
        EXPECT_EQ(failureOf<NameOnly>(bytes), truncated) << k;
    }

    // A pool count of 65535 with no entries.
    Bytes pool = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 52, 0xFF, 0xFF};
    EXPECT_EQ(failureOf(pool), truncated);

    // attribute_length past the end, whether the attributes are decoded or stepped over.
    for (int64_t declared : {int64_t{3}, int64_t{0xFFFFFFFF}, int64_t{0x7FFFFFFF}}) {
        ClassFileWriter w;
        w.setThisClass("p/Q");
        auto a = w.attribute("Code", {1, 2});
        a.declaredLength = declared;
        w.addField(0, "f", "I", {a});
        EXPECT_EQ(failureOf(w.bytes()), truncated) << declared;
        EXPECT_EQ(failureOf<NameOnly>(w.bytes()), truncated) << declared;
        EXPECT_EQ(failureOf<PlainRecorder>(w.bytes()), truncated) << declared;
    }
}

TEST(VQParseClassFile, ChecksEveryIndexItFollows) {
    struct Case {
        const char* what;
        uint16_t thisClass, superClass;
        std::string expected;
    };
    // The pool: 1 Utf8 "p/Q", 2 Class p/Q, 3 Integer, 4 Long (5 empty).
    const std::vector<Case> cases = {
        {"this_class 0", 0, 2, "bad constant pool index 0"},
        {"this_class past the pool", 6, 2, "bad constant pool index 6"},
        {"this_class names a Utf8 entry", 1, 2, "bad constant pool index 1"},
        {"super_class names an Integer entry", 2, 3, "bad constant pool index 3"},
        {"super_class names the slot after a Long", 2, 5, "bad constant pool index 5"},
        {"super_class 65535", 2, 65535, "bad constant pool index 65535"},
    };
    for (const Case& c : cases) {
        ClassFileWriter w;
        w.classRef("p/Q");
        w.integer(7);
        w.longInteger(7);
        w.setThisClassIndex(c.thisClass);
        w.setSuperClassIndex(c.superClass);
        EXPECT_EQ(failureOf(w.bytes()), "InvalidArgumentException: " + c.expected) << c.what;
    }

    // Member and attribute name indexes; the members reported before the failure stand.
    ClassFileWriter w;
    w.setThisClass("p/Q");
    const uint16_t nameless = w.classRef("p/R");
    w.addField(0, "ok", "I");
    w.addField(0, "bad", "I");
    Bytes bytes = w.bytes();
    Recorder r;
    // Point the second field's name at a Class entry: its name_index is 6 bytes into its record.
    const size_t secondField = bytes.size() - 2 /*attrs*/ - 2 /*methods*/ - 8;
    bytes[secondField + 2] = 0, bytes[secondField + 3] = static_cast<uint8_t>(nameless);
    EXPECT_THROW(parse(bytes, r), VQInvalidArgumentException);
    EXPECT_EQ(r.calls.back(), "field ok I 0 none");
    EXPECT_EQ(failureOf(bytes),
              "InvalidArgumentException: bad constant pool index " + std::to_string(nameless));

    ClassFileWriter a;
    a.setThisClass("p/Q");
    a.addClassAttribute({999, {}});
    EXPECT_EQ(failureOf(a.bytes()), "InvalidArgumentException: bad constant pool index 999");
    EXPECT_EQ(failureOf<NameOnly>(a.bytes()),
              "parsed");  // names of stepped-over attributes are not looked at
}

// Attribute names are looked up through a context's cache that is bounded in count and
// name length and remembers the name found last: every path must give each attribute
// its own name, in any order, however many names a file brings.
TEST(VQParseClassFile, NamesEveryAttributeByItsOwnName) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("Name" + std::to_string(i));  // beyond the cache's bound
    names.push_back(std::string(200, 'L'));           // beyond its name length
    names.push_back("Caf\xC3\xA9");                   // not plain ASCII
    names.push_back("Nul\xC0\x80");                   // U+0000 in the class-file form
    for (const char* repeated : {"Code", "StackMapTable", "Code", "Code", "StackMapTable"})
        names.push_back(repeated);

    ClassFileWriter w;
    w.setThisClass("p/Q");
    for (const std::string& name : names) w.addClassAttribute(w.attribute(name));
    for (int round = 0; round < 2; ++round) {  // the second parse finds what the first cached
        Recorder r;
        parse(w.bytes(), r);
        ASSERT_TRUE(r.lists.back().has_value());
        const VQAttributeList& list = *r.lists.back();
        ASSERT_EQ(list.size(), names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string expected =
                names[i] == "Nul\xC0\x80" ? std::string("Nul\0", 4) : names[i];
            EXPECT_EQ(list[i]->typeName(), expected) << i;
        }
    }
}

TEST(VQParseClassFile, TakesAByteBuffer) {
    const Bytes bytes = exampleClass("q/Shape.class");
    auto buffer = VQByteBuffer::bufferWithBytes(bytes.data(), bytes.size());
    NameOnly n;
    VQParseClassFile(*buffer, n);
    EXPECT_EQ(n.names, std::vector<std::string>{"q.Shape"});
}

}  // namespace
}  // namespace ornith
