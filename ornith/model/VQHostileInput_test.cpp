// Class files cut short at every byte and changed at single bytes. Whatever the bytes,
// the parser and the class model must either make a class, which then renders, or raise
// one of the parser's own failures; never crash, read outside the data or raise anything
// else. A class read with lazy attributes must agree with the eager one
// (VQJavaClassLazyComparison.h); a file cut short it refuses at once, as eagerly.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavaClassLazyComparison.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

struct Sample {
    std::string name;
    Bytes bytes;
};

// Every class file under examples/classes, in a stable order.
std::vector<Sample> exampleClasses() {
    std::vector<Sample> samples;
    const std::filesystem::path root =
        std::filesystem::path(ORNITH_SOURCE_DIR) / "examples/classes";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".class") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        samples.push_back(
            {std::filesystem::relative(entry.path(), root).string(),
             Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
    }
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return samples;
}

// A small class that uses every attribute kind the model decodes and every constant kind
// a ConstantValue can name, so that single-byte changes reach all of their decoders.
Bytes denseClass() {
    ClassFileWriter w;
    w.setThisClass("p/D");
    w.setSuperClass("java/lang/Object");
    w.addInterface("java/io/Serializable");
    w.addField(0x0019, "i", "I", {w.constantValue(w.integer(-1))});
    w.addField(0x0019, "j", "J", {w.constantValue(w.longInteger(1))});
    w.addField(0x0019, "d", "D", {w.constantValue(w.doubleFloating(0.5))});
    w.addField(0x0019, "f", "F", {w.constantValue(w.floating(2))});
    w.addField(0x0019, "s", "Ljava/lang/String;", {w.constantValue(w.string("s"))});
    w.addMethod(0x0001, "<init>", "([[JLp/D;)V", {w.exceptions({"java/io/IOException"})});
    w.addMethod(0x0409, "m", "(BCSZ)[F");
    w.addClassAttribute(w.sourceFile("D.java"));
    return w.bytes();
}

bool isDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(uint8_t(c)); });
}

// The failures the parser and its pool and attribute decoders are specified to raise,
// each with the kind that names it.
::testing::AssertionResult isSpecifiedFailure(const VQException& e) {
    const std::string& reason = e.reason();
    const auto kindIs = [&](VQErrorKind kind) {
        if (e.kind() == kind) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << reason << ": kind " << VQErrorKindName(e.kind());
    };
    if (e.name() == "InvalidArgumentException") {
        if (reason == "Not a java .class file") return kindIs(VQErrorKind::notClassFile);
        // The same words for a file that ends early and for an attribute whose own
        // length ends before its contents do; the kind tells them apart.
        if (reason == "Truncated java .class file")
            return e.kind() == VQErrorKind::malformedAttribute
                       ? kindIs(VQErrorKind::malformedAttribute)
                       : kindIs(VQErrorKind::truncatedClassFile);
        const std::pair<std::string_view, VQErrorKind> prefixes[] = {
            {"unknown constant type ", VQErrorKind::unknownConstant},
            {"bad constant pool index ", VQErrorKind::badPoolIndex}};
        for (const auto& [prefix, kind] : prefixes)
            if (reason.starts_with(prefix) &&
                isDecimal(std::string_view(reason).substr(prefix.size())))
                return kindIs(kind);
    } else if (e.name() == "InternalInconsistencyException" &&
               reason.starts_with(
                   "ConstantValue attribute for something that's not a constant value (type = ")) {
        // The index names an entry of the wrong type.
        return kindIs(VQErrorKind::badPoolIndex);
    }
    return ::testing::AssertionFailure() << e.name() << ": " << reason;
}

struct NameOnly {
    std::string name;
    void setClassName(std::string dottedName) { name = std::move(dottedName); }
};

enum class Outcome { Class, Failure };

// Builds the class from the bytes and renders it with every member. A failure must be a
// specified one; the name-only parse must accept what the model accepts, with its name.
Outcome exercise(std::span<const uint8_t> bytes, std::string* reason = nullptr) {
    std::shared_ptr<VQJavaClass> javaClass;
    try {
        javaClass = VQJavaClass::classWithData(bytes);
    } catch (const VQException& e) {
        EXPECT_TRUE(isSpecifiedFailure(e));
        if (reason) *reason = e.reason();
        testing::expectLazyAgrees(bytes, nullptr, testing::ParseFailure(e));
        return Outcome::Failure;
    }
    testing::expectLazyAgrees(bytes, javaClass, std::nullopt);
    EXPECT_TRUE(javaClass && javaClass->className());
    if (!javaClass || !javaClass->className()) return Outcome::Class;
    const std::string text = javaClass->description();
    EXPECT_FALSE(text.empty());
    if (const auto& fields = javaClass->fields())
        for (const auto& field : *fields) (void)field->description();
    if (const auto& methods = javaClass->methods())
        for (const auto& method : *methods) (void)method->description();
    if (const auto& constructors = javaClass->constructors())
        for (const auto& constructor : *constructors) (void)constructor->description();
    NameOnly nameOnly;
    EXPECT_NO_THROW(VQParseClassFile(bytes, nameOnly));
    EXPECT_EQ(nameOnly.name, *javaClass->className());
    return Outcome::Class;
}

TEST(VQHostileInput, EveryPrefixOfARealClassFileIsRefusedAsTruncated) {
    auto samples = exampleClasses();
    ASSERT_GE(samples.size(), 10u) << "examples/classes is missing";
    samples.push_back({"dense", denseClass()});
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        const std::span<const uint8_t> whole(sample.bytes);
        EXPECT_EQ(exercise(whole), Outcome::Class);
        // A class file ends with its last attribute, so every shorter prefix lacks bytes
        // that the parse needs; the name-only parse walks the whole file as well and must
        // fail the same way.
        for (size_t length = 0; length < whole.size(); ++length) {
            SCOPED_TRACE(length);
            std::string reason;
            ASSERT_EQ(exercise(whole.first(length), &reason), Outcome::Failure);
            if (length < 4) {
                EXPECT_EQ(reason, "Not a java .class file");
            }
            // The lazy parse checks every length the eager one does: the same failure, at
            // the same offset, from the factory itself.
            try {
                VQClassOptions lazy;
                lazy.lazyAttributes = true;
                VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(whole.data(), length),
                                           lazy);
                ADD_FAILURE() << "the lazy parse accepted a truncated file";
            } catch (const VQException& e) {
                try {
                    VQJavaClass::classWithData(whole.first(length));
                } catch (const VQException& eager) {
                    EXPECT_EQ(testing::ParseFailure(e), testing::ParseFailure(eager));
                }
            }
            NameOnly nameOnly;
            try {
                VQParseClassFile(whole.first(length), nameOnly);
                ADD_FAILURE() << "the name-only parse accepted a truncated file";
            } catch (const VQException& e) {
                EXPECT_EQ(e.reason(), reason);
            }
        }
    }
}

// Every value at every byte of two small classes: a compiled interface and the dense
// class above. Both outcomes must occur, or the sweep tests nothing.
TEST(VQHostileInput, EverySingleByteChangeOfSmallClassFiles) {
    std::vector<Sample> samples;
    for (auto& sample : exampleClasses())
        if (sample.name == "q/Shape.class") samples.push_back(std::move(sample));
    ASSERT_EQ(samples.size(), 1u) << "examples/classes/q/Shape.class is missing";
    samples.push_back({"dense", denseClass()});
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        Bytes bytes = sample.bytes;
        size_t made = 0, refused = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const uint8_t original = bytes[i];
            for (int value = 0; value < 256; ++value) {
                if (value == original) continue;
                bytes[i] = static_cast<uint8_t>(value);
                (exercise(bytes) == Outcome::Class ? made : refused)++;
                if (::testing::Test::HasFailure()) FAIL() << "at byte " << i << " set to " << value;
            }
            bytes[i] = original;
        }
        EXPECT_GT(made, 0u);
        EXPECT_GT(refused, 0u);
    }
}

// The larger examples, with the byte values that most often turn a count, a length, an
// index or a tag into something hostile: 0, 0xFF, the top bit flipped, one more.
TEST(VQHostileInput, TelltaleByteChangesOfEveryExampleClass) {
    for (const auto& sample : exampleClasses()) {
        SCOPED_TRACE(sample.name);
        Bytes bytes = sample.bytes;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const uint8_t original = bytes[i];
            for (uint8_t value :
                 {uint8_t(0), uint8_t(0xFF), uint8_t(original ^ 0x80), uint8_t(original + 1)}) {
                if (value == original) continue;
                bytes[i] = value;
                exercise(bytes);
                if (::testing::Test::HasFailure())
                    FAIL() << "at byte " << i << " set to " << int(value);
            }
            bytes[i] = original;
        }
    }
}

}  // namespace
}  // namespace ornith
