// Writes the seed corpus of every fuzz target: the examples of the source tree, plus
// generated class files, archives and source texts that reach the corners the examples
// do not (every constant kind, modified UTF-8, deflated and commented archives, wide
// source files, escapes).
//
//   fuzz_make_seeds SOURCE_DIR OUT_DIR
// makes OUT_DIR/<target>/ for every target and fills it.

#include <libdeflate.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/base/VQEndian.h"
#include "ornith/testing/ClassFileWriter.h"
#include "ornith/testing/ImageWriter.h"
#include "ornith/testing/ZipWriter.h"

namespace fs = std::filesystem;
using ornith::VQStoreLE16;
using ornith::VQStoreLE32;
using ornith::testing::Bytes;
using ornith::testing::ClassFileWriter;

namespace {

// Seeds larger than this slow every execution down and teach the fuzzer little more.
constexpr uintmax_t kMaxSeedSize = 256 * 1024;

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeText(const fs::path& path, std::string_view text) {
    writeFile(path, Bytes(text.begin(), text.end()));
}

// Copies every file under `from` whose extension is one of `extensions` into `to`,
// named after its path below `from` so that equal base names do not collide.
void copyExamples(const fs::path& from, const fs::path& to,
                  const std::vector<std::string>& extensions) {
    if (!fs::is_directory(from)) return;
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        if (!entry.is_regular_file() || entry.file_size() > kMaxSeedSize) continue;
        const std::string ext = entry.path().extension().string();
        bool wanted = false;
        for (const auto& e : extensions) wanted = wanted || ext == e;
        if (!wanted) continue;
        std::string name = fs::relative(entry.path(), from).string();
        for (char& c : name)
            if (c == '/') c = '_';
        fs::copy_file(entry.path(), to / ("example_" + name), fs::copy_options::overwrite_existing);
    }
}

// --- class files ------------------------------------------------------------------------

Bytes richClass() {
    ClassFileWriter w;
    w.setThisClass("p/Rich");
    w.setSuperClass("java/lang/Object");
    w.addInterface("java/io/Serializable");
    w.addInterface("java/lang/Comparable");
    w.addField(0x0019, "I", "I", {w.constantValue(w.integer(-7))});
    w.addField(0x0019, "F", "F", {w.constantValue(w.floating(1.5f))});
    w.addField(0x0019, "J", "J", {w.constantValue(w.longInteger(1LL << 40))});
    w.addField(0x0019, "D", "D", {w.constantValue(w.doubleFloating(-0.25))});
    w.addField(0x0019, "S", "Ljava/lang/String;", {w.constantValue(w.string("a\"b\\c"))});
    w.addField(0x0002, "grid", "[[Ljava/util/Map;", {w.attribute("Synthetic")});
    w.addField(0x0040, "flag", "Z");
    w.addMethod(0x0001, "<init>", "(IJ[DLjava/lang/String;)V",
                {w.exceptions({"java/io/IOException", "p/Rich$E"})});
    w.addMethod(0x0008, "<clinit>", "()V");
    w.addMethod(0x0409, "compute", "([BCSZ)[[J", {w.attribute("Code", Bytes(12, 0))});
    w.addMethod(0x0081, "varargs", "([Ljava/lang/Object;)Ljava/lang/Object;");
    w.addClassAttribute(w.sourceFile("Rich.java"));
    w.addClassAttribute(w.attribute("InnerClasses", Bytes{0, 0}));
    return w.bytes();
}

Bytes rootClass() {
    ClassFileWriter w;
    w.setThisClass("java/lang/Object");
    w.setSuperClassIndex(0);
    w.addMethod(0x0001, "<init>", "()V");
    w.addMethod(0x0101, "hashCode", "()I");
    return w.bytes();
}

Bytes interfaceWithOddPool() {
    ClassFileWriter w;
    w.setAccess(0x0601);
    w.setThisClass("q/I\xc0\x80x");  // modified UTF-8 NUL in the name
    w.setSuperClass("java/lang/Object");
    // A surrogate pair written as two three-byte sequences, and an ill-formed byte.
    w.utf8Bytes(Bytes{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80, 0xFF});
    Bytes methodHandle{1, 0, 1};
    w.raw(15, methodHandle);
    w.raw(16, Bytes{0, 1});
    w.raw(18, Bytes{0, 0, 0, 1});
    w.raw(12, Bytes{0, 1, 0, 1});
    w.raw(10, Bytes{0, 2, 0, 3});
    w.raw(2, Bytes{0, 2, 0, 0x41, 0x20, 0xAC});  // 16-bit Unicode entry
    w.addMethod(0x0401, "run", "()V");
    w.addClassAttribute(w.sourceFile("I.java"));
    w.addClassAttribute(w.sourceFile("Second.java"));
    w.setVersion(99);
    return w.bytes();
}

Bytes lyingAttribute() {
    ClassFileWriter w;
    w.setThisClass("Lie");
    w.setSuperClass("java/lang/Object");
    auto a = w.sourceFile("Lie.java");
    a.declaredLength = 0x7FFFFFFF;
    w.addField(0, "f", "I", {a});
    return w.bytes();
}

Bytes badConstantValue() {
    ClassFileWriter w;
    w.setThisClass("Bad");
    w.setSuperClass("java/lang/Object");
    w.addField(0x0018, "x", "I", {w.constantValue(w.classRef("Bad"))});
    return w.bytes();
}

// --- archives ---------------------------------------------------------------------------

struct Member {
    std::string name;
    Bytes data;
    bool deflate;
    std::string comment;
};

Member member(std::string name, Bytes data, bool deflate = false, std::string comment = {}) {
    return {std::move(name), std::move(data), deflate, std::move(comment)};
}

void putLE2(Bytes& out, uint32_t v) {
    uint8_t bytes[2];
    VQStoreLE16(bytes, static_cast<uint16_t>(v));
    out.insert(out.end(), bytes, bytes + 2);
}
void putLE4(Bytes& out, uint32_t v) {
    uint8_t bytes[4];
    VQStoreLE32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

Bytes compress(const Bytes& data) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(9);
    Bytes out(libdeflate_deflate_compress_bound(c, data.size()));
    const size_t n =
        libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size());
    libdeflate_free_compressor(c);
    out.resize(n);
    return out;
}

Bytes zipArchive(const std::vector<Member>& members, std::string_view prefix = {},
                 std::string_view comment = {}) {
    Bytes out(prefix.begin(), prefix.end());
    Bytes directory;
    for (const auto& m : members) {
        const Bytes stored = m.deflate ? compress(m.data) : m.data;
        const uint32_t crc = libdeflate_crc32(0, m.data.data(), m.data.size());
        const uint32_t method = m.deflate ? 8 : 0;
        const uint32_t offset = static_cast<uint32_t>(out.size());
        putLE4(out, 0x04034B50);
        putLE2(out, 20);
        putLE2(out, 0);
        putLE2(out, method);
        putLE4(out, 0);
        putLE4(out, crc);
        putLE4(out, static_cast<uint32_t>(stored.size()));
        putLE4(out, static_cast<uint32_t>(m.data.size()));
        putLE2(out, static_cast<uint32_t>(m.name.size()));
        putLE2(out, 0);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), stored.begin(), stored.end());

        putLE4(directory, 0x02014B50);
        putLE2(directory, 20);
        putLE2(directory, 20);
        putLE2(directory, 0);
        putLE2(directory, method);
        putLE4(directory, 0);
        putLE4(directory, crc);
        putLE4(directory, static_cast<uint32_t>(stored.size()));
        putLE4(directory, static_cast<uint32_t>(m.data.size()));
        putLE2(directory, static_cast<uint32_t>(m.name.size()));
        putLE2(directory, 0);
        putLE2(directory, static_cast<uint32_t>(m.comment.size()));
        putLE2(directory, 0);
        putLE2(directory, 0);
        putLE4(directory, 0);
        putLE4(directory, offset - static_cast<uint32_t>(prefix.size()));
        directory.insert(directory.end(), m.name.begin(), m.name.end());
        directory.insert(directory.end(), m.comment.begin(), m.comment.end());
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(out.size() - prefix.size());
    out.insert(out.end(), directory.begin(), directory.end());
    putLE4(out, 0x06054B50);
    putLE2(out, 0);
    putLE2(out, 0);
    putLE2(out, static_cast<uint32_t>(members.size()));
    putLE2(out, static_cast<uint32_t>(members.size()));
    putLE4(out, static_cast<uint32_t>(directory.size()));
    putLE4(out, directoryOffset);
    putLE2(out, static_cast<uint32_t>(comment.size()));
    out.insert(out.end(), comment.begin(), comment.end());
    return out;
}

Bytes tinyClass(const std::string& internalName) {
    ClassFileWriter w;
    w.setThisClass(internalName);
    w.setSuperClass("java/lang/Object");
    w.addMethod(0x0001, "<init>", "()V");
    return w.bytes();
}

void writeArchives(const fs::path& dir) {
    const Bytes a = tinyClass("p/A"), b = tinyClass("p/q/B"), top = tinyClass("Top");
    writeFile(dir / "gen_stored.zip",
              zipArchive({member("p/", {}), member("p/A.class", a), member("p/q/B.class", b),
                          member("Top.class", top)}));
    writeFile(dir / "gen_deflated.jar",
              zipArchive({member("META-INF/MANIFEST.MF", Bytes(40, 'M'), true),
                          member("p/A.class", a, true),
                          member("p/q/B.class", b, true, "a member comment"),
                          member("images/logo.gif", Bytes(16, 0x47)), member("Foo.CLASS", top)}));
    writeFile(dir / "gen_comment.zip",
              zipArchive({member("p/A.class", a)}, {}, "an archive comment PK\x05\x06"));
    writeFile(dir / "gen_prefix.jar",
              zipArchive({member("p/A.class", a, true)}, "#!/bin/sh\nexec java -jar \"$0\"\n"));
    writeFile(dir / "gen_rich.jar", zipArchive({member("p/Rich.class", richClass(), true),
                                                member("p/Rich.class", richClass())}));
    writeFile(dir / "gen_empty.zip", zipArchive({}));

    // zip64: extra fields in central and local headers, the zip64 record and locator,
    // behind a prefix, and with true values left in the end record.
    auto text = [](const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
    for (int shape = 0; shape < 3; ++shape) {
        ornith::testing::ZipWriter zip;
        zip.zip64 = true;
        zip.add("p/A.class", text(a));
        zip.add("p/q/B.class", text(b), 8);
        if (shape == 1) zip.prefix = {'J', 'M', 1, 0};
        if (shape == 2) zip.zip64TrueEndValues = true;
        writeFile(dir / ("gen_zip64_" + std::to_string(shape) + ".jar"), zip.bytes());
    }
    // A multi-release jar: base, versioned and versioned-only classes.
    ornith::testing::ZipWriter mr;
    mr.add("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n", 8);
    mr.add("p/A.class", text(a));
    mr.add("META-INF/versions/11/p/A.class", text(a), 8);
    mr.add("META-INF/versions/17/p/q/B.class", text(b));
    mr.add("META-INF/versions/9/Top.class", text(top));
    writeFile(dir / "gen_multi_release.jar", mr.bytes());
}

void writeManifests(const fs::path& dir) {
    const char* manifests[] = {
        "Manifest-Version: 1.0\r\nMulti-Release: true\r\nClass-Path: a.jar lib/b.jar\r\n\r\n",
        ("manifest-version: 1.0\nclass-path: ../x.jar\n  /abs/y.jar file:/z%20z.jar\n "
         "http://h/u.jar\n"),
        "Class-Path: file://localhost/a.jar file://other/b.jar ./c/../d.jar\rName: p\r\rX: y\r",
        "Multi-Release: TRUE\n\nMulti-Release: false\n",
        " continuation first\nno colon line\n : empty name\n",
    };
    int i = 0;
    for (const char* m : manifests) writeText(dir / ("gen_" + std::to_string(i++) + ".mf"), m);
}

// --- runtime images ---------------------------------------------------------------------

void writeImages(const fs::path& dir) {
    auto save = [&](const char* name, const ornith::testing::ImageWriter& w) {
        const auto bytes = w.bytes();
        writeFile(dir / name, Bytes(bytes.begin(), bytes.end()));
    };
    const Bytes a = tinyClass("p/A");
    ornith::testing::ImageWriter w;
    w.add("java.base", "module-info.class", "mi");
    w.add("java.base", "p/A.class", std::string(a.begin(), a.end()));
    w.add("java.base", "p/q/B.class", std::string(64, 'B'), "zip");
    w.add("other", "p/C.class", "C", "compact-cp");
    w.add("other", "p/res.txt", "resource");
    save("gen_image_le", w);
    w.bigEndian = true;
    save("gen_image_be", w);
}

// --- source text ------------------------------------------------------------------------

constexpr std::string_view kJavaSource =
    "package p; // comment\n"
    "/* block */ /** doc */ import java.util.*;\r\n"
    "public class S<T> extends Object implements Runnable {\r"
    "  static final long L = 0x7fffffffffffffffL + 017 + 1e10 + .5f + 3.d + 'c' + '\\n' + "
    "'\\377';\n"
    "  String s = \"tab\\t\\\"quote\\\" \\u0041 \\uuuu00e9\";\n"
    "  int \\u0061bc = a >>>= b >> c << d && e || !f ? g : h ^ ~i % j;\n"
    "  char c = '\\u005c\\'';\n"
    "  void run() { x++; --y; z += 1; w -= 2; v *= 3; u /= 4; t %= 5; s &= 6; r |= 7; q ^= 8; p "
    "<<= 9; o >>= 10; }\n"
    "}\n";

void writeSources(const fs::path& dir) {
    writeText(dir / "gen_all.java", kJavaSource);
    writeText(dir / "gen_unterminated_comment.java", "int x; /* never closed");
    writeText(dir / "gen_unterminated_string.java", "String s = \"abc\nchar c = 'x");
    writeText(dir / "gen_bad_escapes.java", "\"\\q\" '\\u00' \\u12 \\");
    writeText(dir / "gen_control.java", std::string_view("a\0b\x1a"
                                                         "c\x7f\xe9",
                                                         7));
    writeText(dir / "gen_numbers.java",
              "0 00 09 0x 0xg 1.e 1e+ 1e+x 99999999999 0777777777777777777777L 1.0e400 .e1");
    Bytes wideBE{0xFE, 0xFF}, wideLE{0xFF, 0xFE};
    for (char c : std::string_view("class W { char c = '\\u20ac'; }\n")) {
        wideBE.push_back(0);
        wideBE.push_back(static_cast<uint8_t>(c));
        wideLE.push_back(static_cast<uint8_t>(c));
        wideLE.push_back(0);
    }
    wideBE.insert(wideBE.end(), {0x4E, 0x2D, 0x00});  // a CJK letter and a lone trailing byte
    writeFile(dir / "gen_wide_be.java", wideBE);
    writeFile(dir / "gen_wide_le.java", wideLE);
}

// --- names ------------------------------------------------------------------------------

void writeNames(const fs::path& dir) {
    const std::vector<std::string_view> names = {
        "java.lang.Object",
        "java/lang/Object",
        "java\\lang\\Object",
        "java/lang/",
        "a.",
        ".Foo",
        "$HOME/lib",
        "${HOME}/lib",
        "${HOME:x}/lib",
        "a$NOPE.b",
        "$$",
        "$",
        "$1x",
        "  $HOME  ",
        "${A}${AB}$A_$a_1${REF}${EMPTY}",
        "${unterminated",
        "${:}",
        "p\xffQ",
    };
    int i = 0;
    for (auto name : names) writeText(dir / ("gen_" + std::to_string(i++)), name);
}

void writeSignatures(const fs::path& dir) {
    const char* const signatures[] = {
        ("<K:Ljava/lang/Object;V::Ljava/lang/Comparable<TV;>;>Ljava/util/AbstractMap<TK;TV;>;"
         "Ljava/io/Serializable;"),
        "<T:Ljava/lang/Exception;>(ILjava/util/List<+TT;>;[[J)TT;^TT;^Ljava/io/IOException;",
        "Lp/Outer<TT;>.Inner<*>.Deep<-Ljava/lang/String;>;",
        "[[Ljava/util/Map$Entry<TK;TV;>;",
        "(I[Ljava/lang/String;)V",
    };
    int i = 0;
    for (auto signature : signatures) writeText(dir / ("gen_" + std::to_string(i++)), signature);
}

// UTF-8 of every length, modified UTF-8, ill-formed subparts, and what a terminal must
// not see.
void writeTexts(const fs::path& dir) {
    const std::string_view texts[] = {
        "plain ASCII, quotes \" ' and a backslash \\",
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
        "a\xC0\x80"
        "b\xED\xA0\xBD\xED\xB8\x80"
        "c\xED\xB8\x80",
        std::string_view("a NUL \0 inside", 14),
        "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
        "\xE0\x80\xAF \xF0\x80\x80\xAF \xF4\x90\x80\x80 \xED\xA0 \xF8\x88\x80\x80\x80",
        "\x1B[31m\b\t\n\r\x7F \xC2\x9B \xE2\x80\xA8 \xE2\x80\xAE \xE2\x81\xA6",
    };
    int i = 0;
    for (std::string_view text : texts) writeText(dir / ("gen_" + std::to_string(i++)), text);
}

// Inputs of fuzz_code_attributes: a selector byte (the attribute), a code length, the
// code (a run of nops ending in return), then the attribute's info.
void writeCodeAttributes(const fs::path& dir) {
    auto seed = [&](const char* name, uint8_t selector, std::vector<uint8_t> info) {
        std::vector<uint8_t> bytes{selector, 7, 0, 0, 0, 0, 0, 0, 0, 0xB1};
        bytes.insert(bytes.end(), info.begin(), info.end());
        writeFile(dir / name, bytes);
    };
    // Every frame type: same, same_locals_1_stack_item (int), its extended form (an
    // object), chop, same_frame_extended, append (long, null), full (uninitialized, this).
    seed("stack_map", 0, {0,   7, 1, 64, 1, 247, 0, 0, 7, 0, 2, 248, 0, 0, 251, 0, 0,
                          253, 0, 0, 4,  5, 255, 0, 0, 0, 2, 8, 0,   0, 6, 0,   1, 0});
    seed("line_numbers", 1, {0, 2, 0, 0, 0, 10, 0, 4, 0, 11});
    seed("local_variables", 2, {0, 1, 0, 0, 0, 8, 0, 8, 0, 5, 0, 0});
    seed("local_variable_types", 3, {0, 1, 0, 0, 0, 8, 0, 8, 0, 6, 0, 0});
    // A local variable target with one range and a type path, and a catch target; an
    // element value of each simple kind.
    seed("type_annotations", 4, {0, 2, 0x40, 0, 1,   0, 0, 0,    8, 0, 0, 1, 3, 0, 0, 5,
                                 0, 1, 0,    6, 'I', 0, 7, 0x42, 0, 0, 0, 0, 5, 0, 0});
    seed("type_annotations_method", 5, {0, 1, 0x14, 0, 0, 5, 0, 0});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: fuzz_make_seeds SOURCE_DIR OUT_DIR\n";
        return 2;
    }
    const fs::path source = argv[1], out = argv[2];
    try {
        for (const char* target :
             {"class_model", "class_name", "zip_reader", "zip_store", "lexer", "path_utilities",
              "signature", "runtime_image", "jar_manifest", "text", "code", "code_attributes",
              "dependencies", "javap_verbose"}) {
            fs::remove_all(out / target);
            fs::create_directories(out / target);
        }
        for (const char* target :
             {"class_model", "class_name", "code", "dependencies", "javap_verbose"}) {
            const fs::path dir = out / target;
            copyExamples(source / "examples/classes", dir, {".class"});
            copyExamples(source / "examples/attributes/classes", dir, {".class"});
            copyExamples(source / "examples/modern/classes", dir, {".class"});
            writeFile(dir / "gen_rich.class", richClass());
            writeFile(dir / "gen_root.class", rootClass());
            writeFile(dir / "gen_interface.class", interfaceWithOddPool());
            writeFile(dir / "gen_lying_attribute.class", lyingAttribute());
            writeFile(dir / "gen_bad_constant_value.class", badConstantValue());
        }
        for (const char* target : {"zip_reader", "zip_store"}) {
            copyExamples(source / "examples", out / target, {".jar", ".zip", ".jmod"});
            writeArchives(out / target);
        }
        copyExamples(source / "examples", out / "lexer", {".java"});
        writeSources(out / "lexer");
        writeNames(out / "path_utilities");
        writeSignatures(out / "signature");
        writeImages(out / "runtime_image");
        writeManifests(out / "jar_manifest");
        writeTexts(out / "text");
        writeCodeAttributes(out / "code_attributes");
    } catch (const std::exception& e) {
        std::cerr << "fuzz_make_seeds: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
