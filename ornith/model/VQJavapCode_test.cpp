#include "ornith/model/VQJavapCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ornith/base/VQByteBuffer.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
namespace fs = std::filesystem;

std::vector<fs::path> classFilesUnder(const fs::path& root) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().extension() == ".class" && entry.path().filename() != "module-info.class")
            out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

// The class's methods and constructors in the order of its method table.
std::vector<const VQJavaMethod*> methodsInFileOrder(const VQJavaClass& k) {
    std::vector<const VQJavaMethod*> out;
    auto add = [&](const VQJavaMethod* m) {
        if (out.size() <= m->tablePosition()) out.resize(m->tablePosition() + 1);
        out[m->tablePosition()] = m;
    };
    if (k.methods())
        for (const VQJavaMethod* m : k.methods()->items()) add(m);
    if (k.constructors())
        for (const VQJavaMethod* m : k.constructors()->items()) add(m);
    return out;
}

// javap's Code blocks, in order: "    Code:" and the deeper lines after it.
std::vector<std::string> javapCodeBlocks(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> blocks;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line == "    Code:") {
            blocks.push_back(line + "\n");
            inside = true;
        } else if (inside && line.starts_with("      ")) {
            blocks.back() += line + "\n";
        } else {
            inside = false;
        }
    }
    return blocks;
}

Bytes smallClass() {
    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    w.addMethod(1, "m", "()V",
                {w.attribute("Code", Bytes{0, 1, 0, 1, 0, 0, 0, 1, 0xB1, 0, 0, 0, 0})});
    return w.bytes();
}

TEST(VQJavaClassKeptFile, PoolAndLayoutComeFromTheKeptBytesOnly) {
    const Bytes bytes = smallClass();
    auto lent = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    EXPECT_EQ(lent->constantPool(), nullptr);
    EXPECT_EQ(lent->classFileLayout(), nullptr);

    auto kept = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(bytes));
    const VQConstantPoolEntries* pool = kept->constantPool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool, kept->constantPool());
    const VQClassFileLayout* layout = kept->classFileLayout();
    ASSERT_NE(layout, nullptr);
    ASSERT_EQ(layout->methods().size(), 1u);
    EXPECT_EQ(pool->modifiedUTF8(layout->methods()[0].nameIndex), "m");
    std::string name;
    ASSERT_TRUE(pool->text(layout->thisClass(), name));
    EXPECT_EQ(name, "p/C");
}

// Asked on two threads at once, a class reads its file and its code once.
TEST(VQJavaClassKeptFile, ReadOnceWhenAskedOnSeveralThreads) {
    const Bytes bytes = smallClass();
    auto shared = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(bytes));
    const VQJavaMethod* method = methodsInFileOrder(*shared).at(0);
    const VQConstantPoolEntries* pools[2] = {};
    const VQCodeAttribute* codes[2] = {};
    auto ask = [&](int i) {
        pools[i] = shared->constantPool();
        codes[i] = method->code(*shared);
    };
    std::thread other(ask, 1);
    ask(0);
    other.join();
    EXPECT_NE(pools[0], nullptr);
    EXPECT_EQ(pools[0], pools[1]);
    EXPECT_NE(codes[0], nullptr);
    EXPECT_EQ(codes[0], codes[1]);
}

// Every method body of the example classes decodes whole, and every branch, switch
// target and handler lands on an instruction.
TEST(VQCodeAttributeOfRealClasses, EveryInstructionDecodesAndEveryTargetIsAnInstruction) {
    size_t methods = 0, targets = 0;
    for (const fs::path& file : classFilesUnder(ORNITH_SOURCE_DIR "/examples")) {
        auto k = VQJavaClass::classWithContentsOfFile(file.string());
        for (const VQJavaMethod* m : methodsInFileOrder(*k)) {
            const VQCodeAttribute* code = m ? m->code(*k) : nullptr;
            if (!code) continue;
            ++methods;
            ASSERT_FALSE(code->fault()) << file << " " << m->name();
            std::set<uint32_t> starts;
            std::vector<uint32_t> wanted;
            VQInstructionDecoder decoder = code->instructions();
            VQInstruction i;
            while (decoder.next(i)) {
                starts.insert(i.offset);
                if (i.form == VQOperandForm::branch || i.form == VQOperandForm::tableSwitch ||
                    i.form == VQOperandForm::lookupSwitch)
                    wanted.push_back(i.target);
                for (uint32_t c = 0; c < i.caseCount(); ++c) wanted.push_back(i.caseTarget(c));
            }
            for (const VQExceptionHandler& h : code->exceptionTable()) {
                wanted.push_back(h.start);
                wanted.push_back(h.handler);
            }
            for (uint32_t target : wanted)
                EXPECT_TRUE(starts.count(target)) << file << " " << target;
            targets += wanted.size();
        }
    }
    EXPECT_GT(methods, 100u);
    EXPECT_GT(targets, 0u);
}

// The Code blocks of javap -c -l -p and of javap -v -p, committed beside the classes.
TEST(VQJavapCode, MatchesJavapOnTheModernExamples) {
    const fs::path root = ORNITH_SOURCE_DIR "/examples/modern";
    size_t compared = 0;
    for (const fs::path& file : classFilesUnder(root / "classes")) {
        const fs::path relative = fs::relative(file, root / "classes").replace_extension();
        auto k = VQJavaClass::classWithContentsOfFile(file.string());
        for (bool verbose : {false, true}) {
            const fs::path expected =
                root / "javap" / (relative.string() + (verbose ? ".v.txt" : ".code.txt"));
            const std::vector<std::string> blocks = javapCodeBlocks(expected);
            VQJavapCodeOptions options;
            options.instructions = !verbose;
            options.lines = !verbose;
            options.verbose = verbose;
            size_t n = 0;
            for (const VQJavaMethod* m : methodsInFileOrder(*k)) {
                if (!m || !m->code(*k)) continue;
                std::string out;
                VQAppendJavapCode(*k, *m, options, out);
                ASSERT_LT(n, blocks.size()) << expected;
                EXPECT_EQ(out, blocks[n]) << expected << " method " << m->name();
                ++n;
                ++compared;
            }
            EXPECT_EQ(n, blocks.size()) << expected;
        }
    }
    EXPECT_GT(compared, 50u);
}

TEST(VQJavapCode, NothingWithoutCodeOrKeptBytesAndAFaultNamedWhereJavapFails) {
    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    // Code: stack 1, locals 1, a goto past the end; then an abstract method.
    w.addMethod(9, "m", "()V",
                {w.attribute("Code", Bytes{0, 1, 0, 1, 0, 0, 0, 3, 0xA7, 0, 9, 0, 0, 0, 0})});
    w.addMethod(0x401, "n", "()V");
    const Bytes bytes = w.bytes();
    VQJavapCodeOptions c;
    c.instructions = true;
    auto lent = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    std::string out;
    VQAppendJavapCode(*lent, *lent->methods()->items()[0], c, out);
    EXPECT_EQ(out, "");
    auto kept = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(bytes));
    VQAppendJavapCode(*kept, *kept->methods()->items()[1], c, out);
    EXPECT_EQ(out, "");
    VQAppendJavapCode(*kept, *kept->methods()->items()[0], c, out);
    EXPECT_EQ(out,
              "    Code:\n"
              "Error: error at or after address 0: branch target outside the code\n");
}

// Forms the compilers of today never write, so no example holds them: the discontinued
// jsr and ret (javap shows neither operand) and the wide forms.
TEST(VQJavapCode, LinesOfTheFormsNoExampleHolds) {
    ClassFileWriter w;
    w.setThisClass("p/C");
    w.setSuperClass("java/lang/Object");
    const Bytes code{0xA8, 0,    5,                 //  0: jsr 5
                     0xB1,                          //  3: return
                     0x00,                          //  4: nop
                     0x4C,                          //  5: astore_1
                     0xA9, 1,                       //  6: ret 1
                     0xC4, 0x84, 1, 0, 0xFF, 0xFE,  //  8: wide iinc 256, -2
                     0xC4, 0x15, 1, 2,              // 14: wide iload 258
                     0x57,                          // 18: pop
                     0xBC, 10,                      // 19: newarray int
                     0x57, 0xB1};                   // 21: pop, 22: return
    Bytes body{0, 2, 1, 4, 0, 0, 0, static_cast<uint8_t>(code.size())};
    body.insert(body.end(), code.begin(), code.end());
    body.insert(body.end(), {0, 0, 0, 0});
    w.addMethod(9, "m", "()V", {w.attribute("Code", body)});
    auto k = VQJavaClass::classWithData(VQByteBuffer::bufferWithVector(w.bytes()));
    VQJavapCodeOptions c;
    c.instructions = true;
    std::string out;
    VQAppendJavapCode(*k, *k->methods()->items()[0], c, out);
    EXPECT_EQ(out,
              "    Code:\n"
              "         0: jsr\n"
              "         3: return\n"
              "         4: nop\n"
              "         5: astore_1\n"
              "         6: ret\n"
              "         8: iinc_w        256, -2\n"
              "        14: iload_w       258\n"
              "        18: pop\n"
              "        19: newarray       int\n"
              "        21: pop\n"
              "        22: return\n");
}

}  // namespace
}  // namespace ornith
