// ornith check end to end, on class paths laid out by the test (no platform needed).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunTool.h"
#include "ToolTestFiles.h"

namespace ornith::tool::testing {
namespace {

std::string classBytes(const std::string& name, const std::string& super,
                       const std::string& interface = "") {
    ornith::testing::ClassFileWriter writer;
    writer.setThisClass(name);
    writer.setSuperClass(super);
    if (!interface.empty()) writer.addInterface(interface);
    const auto bytes = writer.bytes();
    return std::string(bytes.begin(), bytes.end());
}

class Check : public ::testing::Test {
protected:
    void SetUp() override {
        _dir = std::filesystem::path(::testing::TempDir()) /
               ("ornith_check_" + std::to_string(getpid()));
        std::filesystem::remove_all(_dir);
        // a: the base, a class that needs one that is nowhere, and the first Dup.
        writeFile(_dir / "a" / "p" / "Base.class", classBytes("p/Base", "p/Base"));
        writeFile(_dir / "a" / "p" / "A.class", classBytes("p/A", "p/Base", "q/Missing"));
        writeFile(_dir / "a" / "p" / "Dup.class", classBytes("p/Dup", "p/Base"));
        // b: the same Dup; c: a Dup that differs.
        writeFile(_dir / "b" / "p" / "Dup.class", classBytes("p/Dup", "p/Base"));
        writeFile(_dir / "c" / "p" / "Dup.class", classBytes("p/Dup", "p/Base", "p/A"));
        // d: a package of its own, clean.
        writeFile(_dir / "d" / "r" / "R.class", classBytes("r/R", "p/Base"));
    }
    void TearDown() override { std::filesystem::remove_all(_dir); }
    std::string entry(const char* name) const { return (_dir / name).string(); }

    std::filesystem::path _dir;
};

TEST_F(Check, FindsDuplicatesSplitPackagesAndMissingClasses) {
    const std::string a = entry("a"), b = entry("b"), c = entry("c");
    const ToolResult result = runTool({"check", "--system", "none", a + ":" + b, c});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out,
              "duplicate class p.Dup (copies differ):\n"
              "   " +
                  a +
                  " (wins)\n"
                  "   " +
                  b +
                  " (identical)\n"
                  "   " +
                  c +
                  " (differs)\n"
                  "split package p:\n"
                  "   " +
                  a + "\n   " + b + "\n   " + c +
                  "\n"
                  "missing class q.Missing, referenced by:\n"
                  "   p.A\n");
}

TEST_F(Check, OnlyIgnoreAndJson) {
    const std::string a = entry("a"), b = entry("b");
    ToolResult result =
        runTool({"check", "--system", "none", "--only", "duplicates", "--format", "json", a, b});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, R"({"kind":"duplicate","class":"p.Dup","identical":true,"wins":")" + a +
                              R"(","entries":[{"entry":")" + a + R"(","wins":true},{"entry":")" +
                              b +
                              R"(","wins":false,"identical":true}]})"
                              "\n");

    result = runTool({"check", "--system", "none", "--only", "missing", "--ignore", "q\\..*", a});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.out, "");
}

TEST_F(Check, CleanPathIsZeroAndBadEntryIsOne) {
    const std::string a = entry("a"), d = entry("d");
    EXPECT_EQ(runTool({"check", "--system", "none", "--only", "split", a, d}).status, 0);
    const ToolResult result =
        runTool({"check", "--system", "none", "--only", "split", d, entry("gone.jar")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("gone.jar"), std::string::npos);
    EXPECT_EQ(runTool({"check"}).status, 2);
    EXPECT_EQ(runTool({"check", "--only", "fields", d}).status, 2);
}

// A class file with no super class (as java.lang.Object has), so that its hierarchy is
// complete without a platform.
struct MemberClass {
    ornith::testing::ClassFileWriter writer;
    std::vector<uint8_t> code;

    explicit MemberClass(const std::string& name) {
        writer.setThisClass(name);
        writer.setSuperClassIndex(0);
    }
    // A reference of the pool kind (9 Fieldref, 10 Methodref, 11 InterfaceMethodref) used
    // by one instruction of the one method's code.
    void use(uint8_t opcode, uint8_t tag, const std::string& owner, const std::string& name,
             const std::string& descriptor) {
        ornith::testing::Bytes nameAndType, ref;
        ornith::testing::putU2(nameAndType, writer.utf8(name));
        ornith::testing::putU2(nameAndType, writer.utf8(descriptor));
        ornith::testing::putU2(ref, writer.classRef(owner));
        ornith::testing::putU2(ref, writer.raw(12, std::move(nameAndType)));
        const uint16_t index = writer.raw(tag, std::move(ref));
        code.insert(code.end(),
                    {opcode, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index & 0xFF)});
        if (opcode == 0xb9) code.insert(code.end(), {1, 0});  // invokeinterface's count
    }
    std::string bytes() {
        if (!code.empty()) {
            code.push_back(0xb1);  // return
            ornith::testing::Bytes info;
            ornith::testing::putU2(info, 4);
            ornith::testing::putU2(info, 4);
            ornith::testing::putU4(info, static_cast<uint32_t>(code.size()));
            info.insert(info.end(), code.begin(), code.end());
            ornith::testing::putU2(info, 0);
            ornith::testing::putU2(info, 0);
            writer.addMethod(0x0009, "main", "()V", {writer.attribute("Code", std::move(info))});
        }
        const auto out = writer.bytes();
        return std::string(out.begin(), out.end());
    }
};

TEST_F(Check, FindsMissingMembersAndReferencesOfTheWrongKind) {
    MemberClass lib("p/Lib");
    lib.writer.addField(0x0001, "count", "I");
    lib.writer.addMethod(0x0009, "make", "()Lp/Lib;");
    lib.writer.addMethod(0x0001, "run", "()V");
    writeFile(_dir / "lib" / "p" / "Lib.class", lib.bytes());
    MemberClass face("p/Face");
    face.writer.setAccess(0x0601);
    face.writer.addMethod(0x0401, "act", "()V");
    writeFile(_dir / "lib" / "p" / "Face.class", face.bytes());

    MemberClass good("u/Good");
    good.use(0xb8, 10, "p/Lib", "make", "()Lp/Lib;");
    good.use(0xb4, 9, "p/Lib", "count", "I");
    good.use(0xb6, 10, "p/Lib", "run", "()V");
    good.use(0xb9, 11, "p/Face", "act", "()V");
    writeFile(_dir / "good" / "u" / "Good.class", good.bytes());

    MemberClass user("u/User");
    user.use(0xb6, 10, "p/Lib", "gone", "()V");
    user.use(0xb2, 9, "p/Lib", "size", "I");
    user.use(0xb8, 10, "p/Lib", "run", "()V");
    user.use(0xb6, 10, "p/Face", "act", "()V");
    user.use(0xb4, 9, "p/Lib", "count", "I");
    writeFile(_dir / "bad" / "u" / "User.class", user.bytes());

    const std::string libPath = entry("lib");
    ToolResult result =
        runTool({"check", "--system", "none", "--only", "members", libPath, entry("good")});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "");

    result = runTool({"check", "--system", "none", "--only", "members", libPath, entry("bad")});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out,
              "wrong kind of reference to p.Face.act()V (a class's method reference to an "
              "interface), referenced by:\n   u.User\n"
              "wrong kind of reference to p.Lib.run()V (invokestatic of an instance method), "
              "referenced by:\n   u.User\n"
              "missing field p.Lib.size:I, referenced by:\n   u.User\n"
              "missing method p.Lib.gone()V, referenced by:\n   u.User\n");

    result = runTool({"check", "--system", "none", "--only", "members", "--format", "json", libPath,
                      entry("bad")});
    EXPECT_NE(result.out.find(R"({"kind":"missing-field","class":"p.Lib","name":"size",)"
                              R"("descriptor":"I","referencedBy":["u.User"]})"),
              std::string::npos)
        << result.out;

    // A hierarchy that is not all there says nothing of the members it might hold.
    MemberClass orphan("u/Orphan");
    orphan.writer.setSuperClass("q/Gone");
    orphan.use(0xb6, 10, "u/Orphan", "inherited", "()V");
    writeFile(_dir / "orphan" / "u" / "Orphan.class", orphan.bytes());
    result = runTool({"check", "--system", "none", "--only", "members", entry("orphan")});
    EXPECT_EQ(result.status, 0) << result.out;
}

}  // namespace
}  // namespace ornith::tool::testing
