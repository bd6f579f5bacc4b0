#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQSignatureAttribute.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;

// A pool opened from a writer's entries, and attributes decoded against it.
class Pool {
public:
    explicit Pool(const ClassFileWriter& w) : _bytes(w.bytes()) {
        VQByteStream s{_bytes.data(), 8, static_cast<uint32_t>(_bytes.size())};
        _pool.reset(VQOpenConstantPool(s));
    }
    std::shared_ptr<const VQJavaAttribute> decode(const std::string& name, const Bytes& info,
                                                  uint32_t* consumed = nullptr) const {
        VQByteStream s{info.data(), 0, static_cast<uint32_t>(info.size())};
        auto a = VQJavaAttribute::attributeWithName(name, s, *_pool);
        if (consumed) *consumed = s.position;
        return a;
    }
    VQConstantValue constant(uint16_t index) const {
        Bytes info;
        putU2(info, index);
        return dynamic_cast<const VQJavaConstantAttribute&>(*decode("ConstantValue", info)).value();
    }

private:
    Bytes _bytes;
    VQConstantPoolHandle _pool;
};

Bytes u2(uint16_t v) {
    Bytes b;
    putU2(b, v);
    return b;
}

TEST(VQJavaAttribute, TheRegistryStartsWithThreeKinds) {
    ClassFileWriter w;
    const uint16_t file = w.utf8("java/lang/Object.java");
    const uint16_t number = w.integer(1);
    Pool pool(w);

    auto source = pool.decode("SourceFile", u2(file));
    EXPECT_EQ(source->typeName(), "SourceFile");
    EXPECT_EQ(dynamic_cast<const VQJavaSourceAttribute&>(*source).sourceName(),
              "java/lang/Object.java");
    EXPECT_EQ(pool.decode("ConstantValue", u2(number))->typeName(), "ConstantValue");
    EXPECT_EQ(pool.decode("Exceptions", u2(0))->typeName(), "Exceptions");

    // Names are matched whole and case-sensitively; the rest are kept by name, unread.
    for (const char* name : {"Code", "sourcefile", "SourceFile ", "", "exceptions"}) {
        uint32_t consumed = 99;
        auto a = pool.decode(name, {0xFF, 0xFF, 0xFF}, &consumed);
        const auto& unknown = dynamic_cast<const VQJavaUnknownAttribute&>(*a);
        EXPECT_EQ(unknown.typeName(), name);
        EXPECT_EQ(unknown.description(), std::string("Attribute ") + name);
        EXPECT_EQ(consumed, 0u);
    }
}

TEST(VQJavaAttribute, ExceptionsAreDottedInFileOrder) {
    ClassFileWriter w;
    auto a = w.exceptions({"java/io/IOException", "p/Q$E", "java/io/IOException"});
    const uint16_t text = w.utf8("text");
    Pool pool(w);
    const auto decoded = pool.decode("Exceptions", a.info);
    const auto& table = dynamic_cast<const VQJavaExceptionsAttribute&>(*decoded);
    EXPECT_EQ(table.exceptionTable(),
              (std::vector<std::string>{"java.io.IOException", "p.Q$E", "java.io.IOException"}));
    // The list is handed out itself.
    EXPECT_EQ(&table.exceptionTable(), &table.exceptionTable());

    // A count beyond the bytes present runs into an index that reads as -1.
    EXPECT_THROW(pool.decode("Exceptions", {0xFF, 0xFF, 0, 2}), VQInvalidArgumentException);
    EXPECT_THROW(pool.decode("Exceptions", {}), VQInvalidArgumentException);
    // An index naming a Utf8 entry rather than a Class.
    Bytes info = u2(1);
    putU2(info, text);
    EXPECT_THROW(pool.decode("Exceptions", info), VQInvalidArgumentException);
}

TEST(VQJavaAttribute, SourceFileChecksItsIndex) {
    ClassFileWriter w;
    const uint16_t cls = w.classRef("A");
    Pool pool(w);
    for (const Bytes& info : {u2(cls), u2(0), u2(200), Bytes{0}}) {
        EXPECT_THROW(pool.decode("SourceFile", info), VQInvalidArgumentException);
    }
}

TEST(VQJavaAttribute, ConstantValuesKeepTheirKind) {
    ClassFileWriter w;
    const uint16_t minusOne = w.raw(3, {0xFF, 0xFF, 0xFF, 0xFF});
    const uint16_t twoTo32 = w.raw(5, {0, 0, 0, 1, 0, 0, 0, 0}, 2);
    const uint16_t oneAndHalf = w.raw(4, {0x3F, 0xC0, 0, 0});
    const uint16_t third = w.doubleFloating(1.0 / 3);
    const uint16_t text = w.string("caf\xC3\xA9");
    const uint16_t minLong = w.longInteger(std::numeric_limits<int64_t>::min());
    Pool pool(w);

    EXPECT_EQ(pool.constant(minusOne).value(), VQConstantValue::Value(int32_t{-1}));
    EXPECT_EQ(pool.constant(twoTo32).value(), VQConstantValue::Value(int64_t{1} << 32));
    EXPECT_EQ(pool.constant(oneAndHalf).value(), VQConstantValue::Value(1.5f));
    EXPECT_EQ(pool.constant(third).value(), VQConstantValue::Value(1.0 / 3));
    EXPECT_EQ(pool.constant(text).value(), VQConstantValue::Value(std::string("caf\xC3\xA9")));
    EXPECT_TRUE(pool.constant(text).isString());
    EXPECT_EQ(pool.constant(minLong).description(), "-9223372036854775808");
    EXPECT_EQ(pool.constant(minusOne).description(), "-1");
    EXPECT_EQ(pool.constant(twoTo32).description(), "4294967296");
    EXPECT_EQ(pool.constant(oneAndHalf).description(), "1.5");
    EXPECT_EQ(pool.constant(third).description(), "0.3333333333333333");
}

TEST(VQJavaAttribute, ConstantValueRefusesEntriesThatAreNotConstants) {
    ClassFileWriter w;
    std::map<uint16_t, int> notConstants;  // index -> tag
    const uint16_t name = w.utf8("N");
    notConstants[name] = 1;
    notConstants[w.raw(2, {0, 0})] = 2;
    notConstants[w.raw(7, {0, 1})] = 7;
    for (int tag = 9; tag <= 12; ++tag)
        notConstants[w.raw(static_cast<uint8_t>(tag), {0, 1, 0, 1})] = tag;
    notConstants[w.raw(15, {1, 0, 1})] = 15;
    notConstants[w.raw(16, {0, 1})] = 16;
    notConstants[w.raw(18, {0, 0, 0, 1})] = 18;
    Pool pool(w);
    for (auto [index, tag] : notConstants) {
        try {
            pool.constant(index);
            ADD_FAILURE() << index;
        } catch (const VQInternalInconsistencyException& e) {
            EXPECT_EQ(e.name(), "InternalInconsistencyException");
            EXPECT_EQ(e.reason(),
                      "ConstantValue attribute for something that's not a constant value (type = " +
                          std::to_string(tag) + ") at index " + std::to_string(index) +
                          " in the constant pool.");
        }
    }
    // Indexes outside the pool, and a String naming something that is not text.
    const uint16_t badString = w.raw(8, {0, 3});
    Pool again(w);
    for (uint16_t index :
         {uint16_t{0}, static_cast<uint16_t>(badString + 1), uint16_t{65535}, badString})
        EXPECT_THROW(again.constant(index), VQInvalidArgumentException) << index;
}

// A kind supplied by a host: reads a u2 and keeps the pool string it names.
class Signature : public VQJavaAttribute {
public:
    Signature(const std::string&, VQByteStream& s, const VQConstantPool& p)
        : text(VQStringValueAtIndex(p, VQReadU2(s))) {}
    const std::string& typeName() const override { return name; }
    std::string name = "Signature";
    std::string text;
};

class Shouting : public VQJavaAttribute {
public:
    Shouting(const std::string&, VQByteStream&, const VQConstantPool&) {}
    const std::string& typeName() const override { return name; }
    std::string name = "SOURCEFILE";
};

// Forgets to say its type name.
class Careless : public VQJavaAttribute {
public:
    const char* kindName() const override { return "Careless"; }
};

TEST(VQJavaAttribute, AHostRegistersAndReplacesKinds) {
    ClassFileWriter w;
    const uint16_t sig = w.utf8("Ljava/util/List<TT;>;");
    w.setThisClass("p/G");
    w.addClassAttribute(w.attribute("Signature", u2(sig)));
    w.addClassAttribute(w.sourceFile("G.java"));
    const Bytes bytes = w.bytes();

    struct Attributes {
        std::optional<VQAttributeList> list;
        void setClassAttributes(std::optional<VQAttributeList> a) { list = std::move(a); }
    } before, after, restored;
    VQParseClassFile(std::span<const uint8_t>(bytes), before);
    EXPECT_NE(dynamic_cast<const VQJavaSignatureAttribute*>((*before.list)[0].get()), nullptr);

    VQJavaAttribute::registerAttributeClass<Signature>("Signature");
    VQJavaAttribute::registerAttributeClass<Shouting>("SourceFile");
    VQParseClassFile(std::span<const uint8_t>(bytes), after);
    VQJavaAttribute::registerAttributeClass<VQJavaSourceAttribute>("SourceFile");
    VQJavaAttribute::registerAttributeClass<VQJavaSignatureAttribute>("Signature");

    ASSERT_TRUE(after.list && after.list->size() == 2);
    EXPECT_EQ(dynamic_cast<const Signature&>(*(*after.list)[0]).text, "Ljava/util/List<TT;>;");
    EXPECT_EQ((*after.list)[1]->typeName(), "SOURCEFILE");

    VQParseClassFile(std::span<const uint8_t>(bytes), restored);
    EXPECT_EQ(dynamic_cast<const VQJavaSourceAttribute&>(*(*restored.list)[1]).sourceName(),
              "G.java");
}

// A decoder may register kinds while a class is being parsed; from then on the new kind
// decodes its name, even for a name that the same parse has already met.
class Registrar : public VQJavaAttribute {
public:
    Registrar(const std::string&, VQByteStream&, const VQConstantPool&) {
        VQJavaAttribute::registerAttributeClass<Shouting>("LateKind");
    }
    const std::string& typeName() const override { return name; }
    std::string name = "Registrar";
};

TEST(VQJavaAttribute, AKindRegisteredDuringAParseTakesOverAtOnce) {
    ClassFileWriter w;
    w.setThisClass("p/L");
    for (const char* name : {"LateKind", "Registrar", "LateKind", "Registrar", "LateKind"})
        w.addClassAttribute(w.attribute(name));
    struct Attributes {
        std::optional<VQAttributeList> list;
        void setClassAttributes(std::optional<VQAttributeList> a) { list = std::move(a); }
    } parsed;
    VQJavaAttribute::registerAttributeClass<Registrar>("Registrar");
    VQParseClassFile(std::span<const uint8_t>(w.bytes()), parsed);
    VQJavaAttribute::registerAttributeClass<VQJavaUnknownAttribute>("Registrar");
    VQJavaAttribute::registerAttributeClass<VQJavaUnknownAttribute>("LateKind");

    ASSERT_TRUE(parsed.list && parsed.list->size() == 5);
    std::vector<std::string> names;
    for (const auto& attribute : *parsed.list) names.push_back(attribute->typeName());
    EXPECT_EQ(names, (std::vector<std::string>{"LateKind", "Registrar", "SOURCEFILE", "Registrar",
                                               "SOURCEFILE"}));
}

TEST(VQJavaAttribute, TheBaseTypeNameNamesTheKindThatLacksIt) {
    Careless careless;
    try {
        (void)careless.typeName();
        ADD_FAILURE();
    } catch (const VQInvalidArgumentException& e) {
        EXPECT_NE(e.reason().find("typeName"), std::string::npos);
        EXPECT_NE(e.reason().find("Careless"), std::string::npos);
    }
}

TEST(VQJavaAttribute, ReadsTheConstantsOfARealClass) {
    auto buffer = VQByteBuffer::bufferWithContentsOfFile(ORNITH_SOURCE_DIR
                                                         "/examples/classes/p/Constants.class");
    ASSERT_TRUE(buffer);
    struct Fields {
        std::vector<std::pair<std::string, std::string>> values;
        void addFieldName(std::string name, std::string, int32_t,
                          std::optional<VQAttributeList> a) {
            std::string text = "<none>";
            if (a)
                for (const auto& attribute : *a)
                    if (auto c = dynamic_cast<const VQJavaConstantAttribute*>(attribute.get()))
                        text = c->value().description();
            values.emplace_back(std::move(name), std::move(text));
        }
    } fields;
    VQParseClassFile(*buffer, fields);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"GREETING", "hi"},
        {"UNICODE", std::string("caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 nul:\0", 20)},
        {"BIG", "4294967296"},
        {"MIN_LONG", "-9223372036854775808"},
        {"MINUS_ONE", "-1"},
        {"HALF", "1.5"},
        {"TINY", "1.4E-45"},
        {"TEN_MILLION", "1.0E7"},
        {"SMALL", "1.0E-5"},
        {"NOT_A_NUMBER", "NaN"},
        {"NEGATIVE_INFINITY", "-Infinity"},
        {"NEGATIVE_ZERO", "-0.0"},
        {"LETTER", "65"},
        {"YES", "1"},
        {"SMALL_BYTE", "-128"},
        {"SHORT", "32767"},
        {"counter", "<none>"},
    };
    EXPECT_EQ(fields.values, expected);
}

}  // namespace
}  // namespace ornith
