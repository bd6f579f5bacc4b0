#include "ornith/model/VQJavapText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/model/VQJavapVerbose.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;

const std::filesystem::path kModern = std::filesystem::path(ORNITH_SOURCE_DIR) / "examples/modern";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every class compiled by javac 25 under examples/modern/classes, as its path there.
std::vector<std::filesystem::path> modernClasses() {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kModern / "classes"))
        if (entry.is_regular_file() && entry.path().extension() == ".class")
            out.push_back(std::filesystem::relative(entry.path(), kModern / "classes"));
    std::sort(out.begin(), out.end());
    return out;
}

std::shared_ptr<VQJavaClass> load(const std::filesystem::path& relative) {
    return VQJavaClass::classWithContentsOfFile((kModern / "classes" / relative).string());
}

TEST(VQJavapText, EveryModernExampleMatchesJavapInEveryView) {
    const auto classes = modernClasses();
    ASSERT_GE(classes.size(), 18u);
    struct View {
        const char* suffix;
        VQJavapOptions options;
    };
    const View views[] = {{".default.txt", {}},
                          {".p.txt", {.showPrivate = true}},
                          {".constants.txt", {.showConstants = true}}};
    for (const auto& relative : classes) {
        auto javaClass = load(relative);
        for (const View& view : views) {
            std::filesystem::path expected = kModern / "javap" / relative;
            expected.replace_extension(view.suffix);
            ASSERT_TRUE(std::filesystem::exists(expected)) << expected;
            EXPECT_EQ(VQJavapText(*javaClass, view.options), readFile(expected))
                << relative << " " << view.suffix;
        }
    }
}

// The class as the library reads it from a class path: keeping its bytes, which -v reads.
std::shared_ptr<VQJavaClass> loadKept(const std::filesystem::path& relative) {
    return VQJavaClass::classWithData(
        VQByteBuffer::bufferWithContentsOfFile((kModern / "classes" / relative).string()));
}

TEST(VQJavapText, EveryModernExampleMatchesJavapUnderVerboseAndCode) {
    for (const auto& relative : modernClasses()) {
        auto javaClass = loadKept(relative);
        std::filesystem::path expected = kModern / "javap" / relative;
        expected.replace_extension(".v.txt");
        ASSERT_TRUE(std::filesystem::exists(expected)) << expected;
        EXPECT_EQ(VQJavapText(*javaClass, {.access = VQJavapAccess::all, .verbose = true}),
                  readFile(expected))
            << relative;
        expected.replace_extension().replace_extension(".c.txt");
        EXPECT_EQ(VQJavapText(*javaClass, {.showPrivate = true, .disassemble = true}),
                  readFile(expected))
            << relative;
    }
}

TEST(VQJavapText, AccessLevelsAndDescriptorsFollowJavap) {
    auto planet = loadKept("m/api/Planet.class");
    const std::string publicOnly = VQJavapText(*planet, {.access = VQJavapAccess::publicOnly});
    EXPECT_EQ(publicOnly.find("private"), std::string::npos);
    EXPECT_NE(publicOnly.find("public abstract java.lang.String symbol();"), std::string::npos);
    // -s puts each member's descriptor under it, and a blank line between methods.
    const std::string described =
        VQJavapText(*planet, {.access = VQJavapAccess::all, .showDescriptors = true});
    EXPECT_NE(described.find("  private final double mass;\n    descriptor: D\n"),
              std::string::npos);
    EXPECT_NE(described.find("  public double surfaceGravity();\n    descriptor: ()D\n\n"),
              std::string::npos);
    // The file's lines come first under -sysinfo, "Compiled from" a level in.
    const VQJavapFileInfo file{"/x/Planet.class", std::nullopt, 1536, "ab12"};
    const std::string withFile = VQJavapText(*planet, {.sysInfo = true, .file = &file});
    EXPECT_TRUE(withFile.starts_with(
        "Classfile /x/Planet.class\n  Size 1536 bytes\n  SHA-256 checksum ab12\n"
        "  Compiled from \"Planet.java\"\npublic abstract class m.api.Planet"))
        << withFile;
}

// A string constant with a lone surrogate: javap shows the unit, not U+FFFD.
TEST(VQJavapText, LoneSurrogateConstantsPrintAsTheirUnits) {
    ClassFileWriter w;
    w.setAccess(0x0021);
    w.setThisClass("p/Lone");
    w.setSuperClass("java/lang/Object");
    Bytes info;
    // Modified UTF-8 of "a", U+D800 alone, "b"; and of U+FFFD itself, which stays as it is.
    testing::putU2(info, w.string(std::string_view("a\xED\xA0\x80"
                                                   "b")));
    Bytes replacement;
    testing::putU2(replacement, w.string("\xEF\xBF\xBD"));
    w.addField(0x0019, "LONE", "Ljava/lang/String;", {w.attribute("ConstantValue", info)});
    w.addField(0x0019, "REAL", "Ljava/lang/String;", {w.attribute("ConstantValue", replacement)});
    const Bytes bytes = w.bytes();
    auto kept =
        VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(bytes.data(), bytes.size()));
    const std::string text = VQJavapText(*kept, {.showConstants = true});
    EXPECT_NE(text.find("LONE = \"a\\ud800b\";"), std::string::npos) << text;
    EXPECT_NE(text.find("REAL = \"\\ufffd\";"), std::string::npos) << text;
    // Without the bytes there is nothing to read the unit from: the model's text stands.
    auto lent = VQJavaClass::classWithData(bytes);
    EXPECT_NE(VQJavapText(*lent, {.showConstants = true}).find("LONE = \"a\\ufffdb\";"),
              std::string::npos);
}

TEST(VQJavapText, ModelAnswersGenericAndModuleQuestions) {
    auto generics = load("m/impl/Generics.class");
    EXPECT_EQ(VQTypeParametersText(generics->typeParameters()),
              "<K extends java.lang.Comparable<K> & java.io.Serializable, V>");
    EXPECT_EQ(generics->genericText(),
              "m.impl.Generics<K extends java.lang.Comparable<K> & java.io.Serializable, V> "
              "extends java.util.ArrayList<java.util.Map$Entry<K, V>> implements "
              "java.lang.Comparable<m.impl.Generics<K, V>>, java.lang.Cloneable");
    for (const auto& method : *generics->methods()) {
        if (method->name() != "mayThrow") continue;
        auto signature = method->methodSignature();
        ASSERT_TRUE(signature);
        ASSERT_EQ(signature->exceptions.size(), 2u);
        EXPECT_EQ(signature->exceptions[0].javaText(), "E");
        EXPECT_EQ(method->typeParameters().size(), 1u);
    }
    for (const auto& field : *generics->fields()) {
        if (field->name() == "chain") {
            EXPECT_EQ(field->genericTypeText(),
                      "m.impl.Generics<K, V>.Inner<java.lang.String>.Deeper<java.lang.Integer>");
        }
    }

    // A class without a signature answers from its header.
    auto square = load("m/impl/Square.class");
    EXPECT_FALSE(square->genericSignature());
    EXPECT_EQ(square->genericText(), "m.impl.Square implements m.api.Shape");

    auto module = load("module-info.class");
    ASSERT_TRUE(module->isModule());
    const VQJavaModuleAttribute* descriptor = module->moduleDescriptor();
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(descriptor->moduleName(), "org.ornith.examples");
    EXPECT_EQ(descriptor->version(), "1.0");
    ASSERT_EQ(descriptor->requiresDirectives().size(), 3u);
    EXPECT_EQ(descriptor->requiresDirectives()[1].module, "java.logging");
    EXPECT_TRUE(descriptor->requiresDirectives()[1].flags & kVQRequiresTransitive);
    EXPECT_TRUE(descriptor->requiresDirectives()[2].flags & kVQRequiresStaticPhase);
    ASSERT_EQ(descriptor->exports().size(), 2u);
    EXPECT_EQ(descriptor->exports()[1].package, "m.impl");
    EXPECT_EQ(descriptor->exports()[1].to, (std::vector<std::string>{"java.base", "java.logging"}));
    EXPECT_EQ(descriptor->opens().size(), 2u);
    EXPECT_EQ(descriptor->uses(), std::vector<std::string>{"m.api.Shape"});
    ASSERT_EQ(descriptor->provides().size(), 1u);
    EXPECT_EQ(descriptor->provides()[0].with,
              (std::vector<std::string>{"m.impl.Circle", "m.impl.Square"}));
    // javac writes no ModulePackages (jar and jlink add it) and no ModuleMainClass.
    EXPECT_FALSE(module->modulePackages());
    EXPECT_FALSE(module->moduleMainClass());
}

// A class whose signatures are all malformed: each member falls back to its descriptor.
Bytes classWithBrokenSignatures() {
    ClassFileWriter w;
    w.setAccess(0x0021);
    w.setThisClass("p/Broken");
    w.setSuperClass("java/lang/Object");
    auto signature = [&](std::string_view text) {
        Bytes info;
        testing::putU2(info, w.utf8(text));
        return w.attribute("Signature", std::move(info));
    };
    w.addField(0x0001, "f", "Ljava/util/List;", {signature("Ljava/util/List<TT;")});
    w.addMethod(0x0081, "m", "(I[Ljava/lang/String;)V", {signature("<T>(I)V")});
    w.addClassAttribute(signature("<T:>Ljava/lang/Object;"));
    return w.bytes();
}

TEST(VQJavapText, MalformedSignaturesFallBackToDescriptors) {
    const Bytes bytes = classWithBrokenSignatures();
    auto javaClass = VQJavaClass::classWithData(bytes);
    EXPECT_FALSE(javaClass->classSignature());
    EXPECT_TRUE(javaClass->genericSignature());
    EXPECT_EQ(VQJavapText(*javaClass),
              "public class p.Broken {\n"
              "  public java.util.List f;\n"
              "  public void m(int, java.lang.String...);\n"
              "}\n");
}

TEST(VQJavapText, ConstantsAreQuotedAsJavapQuotesThem) {
    EXPECT_EQ(VQJavapQuotedString("plain 'q' \"dq\" \\"), "\"plain 'q' \\\"dq\\\" \\\\\"");
    EXPECT_EQ(VQJavapQuotedString("\b\t\n\f\r\x1b\x7f"), "\"\\b\\t\\n\\f\\r\\u001b\\u007f\"");
    // Outside ASCII every UTF-16 unit is escaped, surrogate pairs as two.
    EXPECT_EQ(VQJavapQuotedString("\xC3\xA9\xE2\x80\xAE\xF0\x9F\x98\x80"),
              "\"\\u00e9\\u202e\\ud83d\\ude00\"");
    EXPECT_EQ(VQJavapQuotedString(std::string_view("\0", 1)), "\"\\u0000\"");
}

TEST(VQJavapText, FilterSeesClassTextButNotLineBreaks) {
    ClassFileWriter w;
    w.setAccess(0);
    w.setThisClass("p/Odd\nName");
    w.setSuperClass("java/lang/Object");
    w.addField(0, "x\x1b", "I");
    const Bytes bytes = w.bytes();
    auto javaClass = VQJavaClass::classWithData(bytes);
    // Unfiltered, a line break in a name breaks the line, as in javap.
    EXPECT_EQ(VQJavapText(*javaClass), "class p.Odd\nName {\n  int x\x1b;\n}\n");
    VQJavapOptions options;
    options.filter = [](std::string_view text, std::string& out) {
        for (char c : text) {
            if (c == '\n')
                out.append("<LF>");
            else if (c == '\x1b')
                out.append("<ESC>");
            else
                out.push_back(c);
        }
    };
    EXPECT_EQ(VQJavapText(*javaClass, options), "class p.Odd<LF>Name {\n  int x<ESC>;\n}\n");
    // A filter that keeps printable ASCII is spared the pieces of nothing else, and only those.
    options.filterKeepsPlainAscii = true;
    EXPECT_EQ(VQJavapText(*javaClass, options), "class p.Odd<LF>Name {\n  int x<ESC>;\n}\n");
}

// The writer builds each line in the output: what it holds back and cuts must be what a
// writer that keeps the line apart would give, whatever else is written around it.
TEST(VQJavapLineWriter, LinesComeOutAsJavapLaysThemOut) {
    std::string out = "before\n";
    VQJavapLineWriter w(out, nullptr, 1);
    w.print("a  ");
    w.print(" b ");
    w.println();  // the spaces after "b" are never written
    w.print("   ");
    w.println();        // nor a line of spaces, indentation and all
    out += "others\n";  // text put in between lines comes before the next line
    w.print("x\u00e9\U0001F600");
    w.tab();  // to column 42, counting UTF-16 units: x, e-acute and a pair are four
    w.print("// c");
    w.report("bad");  // ahead of the open line
    w.println();
    w.tab();
    w.println("t");
    w.indent(-1);
    w.print("#1");
    w.printNumber(-42);
    w.print("\n y");
    w.println();
    EXPECT_EQ(out, "before\n  a   b\n\nothers\nError: bad\n  x\u00e9\U0001F600" +
                       std::string(40 - 4, ' ') + "// c\n" + std::string(44, ' ') +
                       "t\n#1-42\n y\n");
}

TEST(VQJavapText, ModuleFlagWithoutModuleAttributeIsAClass) {
    ClassFileWriter w;
    w.setAccess(0x8000);
    w.setThisClass("module-info");
    w.setSuperClassIndex(0);
    const Bytes bytes = w.bytes();
    auto javaClass = VQJavaClass::classWithData(bytes);
    EXPECT_TRUE(javaClass->isModule());
    EXPECT_EQ(VQJavapText(*javaClass), "class module-info {\n}\n");
}

// Flags that no release defines at their place, and strictfp, which release 17 dropped:
// each time javap reads such a set it reports the bits on a line of its own and goes on
// with the rest (the expected texts are JDK 25 javap's).
TEST(VQJavapText, FlagsTheFilesReleaseDoesNotDefineAreReportedAsJavapReportsThem) {
    const auto make = [](uint16_t major) {
        ClassFileWriter w;
        w.setVersion(major);
        w.setAccess(0x8031);
        w.setThisClass("p/Flags");
        w.setSuperClass("java/lang/Object");
        w.addField(0x0022, "f", "I");
        w.addMethod(0x0801, "m", "()V");
        Bytes inner;
        for (uint16_t v : {uint16_t{1}, w.classRef("p/Flags$In"), w.classRef("p/Flags"),
                           w.utf8("In"), uint16_t{0x0809}}) {
            inner.push_back(static_cast<uint8_t>(v >> 8));
            inner.push_back(static_cast<uint8_t>(v));
        }
        w.addClassAttribute(w.attribute("InnerClasses", inner));
        return VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(w.bytes()));
    };
    const auto error = [](const char* bit, const char* location, const char* release) {
        return std::string("Error: Access Flags: Unmatched bit position ") + bit +
               " for location " + location + " for class file format " + release + "\n";
    };
    EXPECT_EQ(VQJavapText(*make(52), {.showPrivate = true}),
              error("0x8000", "CLASS", "RELEASE_8") + "public final class p.Flags {\n" +
                  error("0x20", "FIELD", "RELEASE_8") +
                  "  private int f;\n  public strictfp void m();\n}\n");
    EXPECT_EQ(VQJavapText(*make(61), {.showPrivate = true}),
              "public final class p.Flags {\n" + error("0x20", "FIELD", "RELEASE_17") +
                  "  private int f;\n" + error("0x800", "METHOD", "RELEASE_17") +
                  "  public void m();\n}\n");
    // -v reads the class's and each member's flags twice, and an inner class's once.
    const std::string verbose = VQJavapText(*make(48), {.showPrivate = true, .verbose = true});
    EXPECT_NE(verbose.find(error("0x8000", "CLASS", "RELEASE_4") +
                           "  flags: (0x8031) ACC_PUBLIC, ACC_FINAL, ACC_SUPER, 0x8000\n"),
              std::string::npos)
        << verbose;
    EXPECT_NE(
        verbose.find(error("0x20", "FIELD", "RELEASE_4") + "    flags: (0x0022) ACC_PRIVATE\n"),
        std::string::npos);
    EXPECT_NE(verbose.find("    flags: (0x0801) ACC_PUBLIC, ACC_STRICT\n"), std::string::npos);
    EXPECT_NE(verbose.find("InnerClasses:\n" + error("0x800", "INNER_CLASS", "RELEASE_4") +
                           "  public static #"),
              std::string::npos);
}

// Cut short at every byte and changed at single bytes, each modern example either makes a
// class whose every new question and view answers, or raises a parse failure.
TEST(VQJavapText, TruncatedAndMutatedModernClassesNeverCrash) {
    size_t classes = 0, failures = 0;
    auto exercise = [&](std::span<const uint8_t> bytes) {
        std::shared_ptr<VQJavaClass> javaClass;
        try {
            javaClass = VQJavaClass::classWithData(bytes);
        } catch (const VQException&) {
            ++failures;
            return;
        }
        ++classes;
        (void)VQJavapText(*javaClass, {.showPrivate = true, .showConstants = true});
        // The whole view over kept bytes, which -v and -c read again.
        auto kept =
            VQJavaClass::classWithData(VQByteBuffer::bufferWithBytes(bytes.data(), bytes.size()));
        (void)VQJavapText(*kept, {.showConstants = true,
                                  .access = VQJavapAccess::all,
                                  .showDescriptors = true,
                                  .disassemble = true,
                                  .lineNumbers = true,
                                  .verbose = true});
        (void)javaClass->genericText();
        (void)javaClass->moduleDescriptor();
        if (const auto& methods = javaClass->methods())
            for (const auto& method : *methods) (void)method->methodSignature();
        if (const auto& fields = javaClass->fields())
            for (const auto& field : *fields) (void)field->genericTypeText();
    };
    for (const auto& relative : modernClasses()) {
        const std::string text = readFile(kModern / "classes" / relative);
        const Bytes bytes(text.begin(), text.end());
        for (size_t length = 0; length < bytes.size(); ++length)
            exercise(std::span<const uint8_t>(bytes.data(), length));
        Bytes mutated = bytes;
        for (size_t at = 8; at < mutated.size(); at += 3) {
            for (uint8_t value : {uint8_t{0}, uint8_t{0xFF}, uint8_t(bytes[at] ^ 0x01)}) {
                mutated[at] = value;
                exercise(mutated);
            }
            mutated[at] = bytes[at];
        }
    }
    EXPECT_GT(classes, 0u);
    EXPECT_GT(failures, 0u);
}

}  // namespace
}  // namespace ornith
