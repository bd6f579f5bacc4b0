#include "ornith/classfile/VQInstructions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/testing/ClassFileWriter.h"

namespace ornith {
namespace {

using testing::Bytes;
using testing::ClassFileWriter;
using testing::putU2;
using testing::putU4;

// A pool with one entry of each kind an instruction names.
struct Pool {
    Bytes bytes;
    std::unique_ptr<const VQConstantPoolEntries> entries;
    uint16_t klass, field, method, interfaceMethod, indy, integer, longValue;
};

Pool makePool() {
    ClassFileWriter w;
    Pool p;
    auto ref = [&](uint8_t tag, uint16_t a, uint16_t b) {
        Bytes body;
        putU2(body, a);
        putU2(body, b);
        return w.raw(tag, body);
    };
    p.klass = w.classRef("p/C");
    const uint16_t nat = ref(12, w.utf8("m"), w.utf8("()V"));
    p.field = ref(9, p.klass, nat);
    p.method = ref(10, p.klass, nat);
    p.interfaceMethod = ref(11, p.klass, nat);
    p.indy = ref(18, 0, nat);
    p.integer = w.integer(7);
    p.longValue = w.longInteger(8);
    p.bytes = w.bytes();
    p.entries = VQConstantPoolEntries::entriesOfClassFile(p.bytes);
    return p;
}

std::vector<VQInstruction> decodeAll(const Bytes& code, const VQConstantPoolEntries* pool,
                                     VQCodeFault* fault = nullptr, uint32_t* at = nullptr) {
    VQInstructionDecoder decoder(code, pool);
    std::vector<VQInstruction> out;
    VQInstruction i;
    while (decoder.next(i)) out.push_back(i);
    if (fault) *fault = decoder.fault();
    if (at) *at = decoder.faultOffset();
    return out;
}

TEST(VQInstructionDecoder, DecodesEachOperandForm) {
    Pool pool = makePool();
    auto u2 = [](uint16_t v) {
        return Bytes{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    };
    struct Case {
        Bytes code;
        VQOperandForm form;
        uint32_t length;
        const char* mnemonic;
    };
    auto cat = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Case> cases = {
        {{0x00}, VQOperandForm::none, 1, "nop"},
        {{0x15, 9}, VQOperandForm::local, 2, "iload"},
        {{0xA9, 2}, VQOperandForm::local, 2, "ret"},
        {{0x84, 3, 0xFF}, VQOperandForm::increment, 3, "iinc"},
        {{0x10, 0x80}, VQOperandForm::byteValue, 2, "bipush"},
        {{0x11, 0x80, 0x00}, VQOperandForm::shortValue, 3, "sipush"},
        {{0xBC, 10}, VQOperandForm::newArrayType, 2, "newarray"},
        {{0x12, static_cast<uint8_t>(pool.integer)}, VQOperandForm::constant, 2, "ldc"},
        {cat({0x13}, u2(pool.integer)), VQOperandForm::constant, 3, "ldc_w"},
        {cat({0x14}, u2(pool.longValue)), VQOperandForm::constant, 3, "ldc2_w"},
        {cat({0xB4}, u2(pool.field)), VQOperandForm::field, 3, "getfield"},
        {cat({0xB6}, u2(pool.method)), VQOperandForm::method, 3, "invokevirtual"},
        {cat({0xB8}, u2(pool.interfaceMethod)), VQOperandForm::method, 3, "invokestatic"},
        {cat(cat({0xB9}, u2(pool.interfaceMethod)), {2, 0}), VQOperandForm::interfaceMethod, 5,
         "invokeinterface"},
        {cat(cat({0xBA}, u2(pool.indy)), {0, 0}), VQOperandForm::dynamic, 5, "invokedynamic"},
        {cat({0xBB}, u2(pool.klass)), VQOperandForm::type, 3, "new"},
        {cat(cat({0xC5}, u2(pool.klass)), {3}), VQOperandForm::multiArray, 4, "multianewarray"},
        {{0xC4, 0x19, 0x01, 0x02}, VQOperandForm::local, 4, "aload"},
        {{0xC4, 0x84, 0x01, 0x02, 0xFF, 0xFE}, VQOperandForm::increment, 6, "iinc"},
    };
    for (const Case& c : cases) {
        // A return after the instruction, so that every case has an instruction after it.
        Bytes code = cat(c.code, {0xB1});
        VQCodeFault fault;
        auto decoded = decodeAll(code, pool.entries.get(), &fault);
        ASSERT_EQ(fault, VQCodeFault::none) << c.mnemonic;
        ASSERT_EQ(decoded.size(), 2u) << c.mnemonic;
        EXPECT_EQ(decoded[0].form, c.form) << c.mnemonic;
        EXPECT_EQ(decoded[0].length, c.length) << c.mnemonic;
        EXPECT_STREQ(decoded[0].mnemonic(), c.mnemonic);
        EXPECT_EQ(decoded[1].offset, c.length);
    }
    auto one = [&](Bytes code) { return decodeAll(cat(code, {0xB1}), pool.entries.get()).at(0); };
    EXPECT_EQ(one({0x84, 3, 0xFF}).value, -1);
    EXPECT_EQ(one({0x10, 0x80}).value, -128);
    EXPECT_EQ(one({0x11, 0x80, 0x00}).value, -32768);
    EXPECT_EQ(one({0xC4, 0x19, 0x01, 0x02}).local, 0x102u);
    EXPECT_TRUE(one({0xC4, 0x19, 0x01, 0x02}).wide);
    EXPECT_EQ(one({0xC4, 0x84, 0x01, 0x02, 0xFF, 0xFE}).value, -2);
    EXPECT_EQ(one(cat(cat({0xB9}, u2(pool.interfaceMethod)), {2, 0})).value, 2);
    EXPECT_EQ(one(cat(cat({0xC5}, u2(pool.klass)), {3})).value, 3);
    EXPECT_EQ(one(cat({0xB4}, u2(pool.field))).poolTag, kVQConstantFieldref);
    EXPECT_STREQ(VQNewArrayTypeName(static_cast<uint8_t>(one({0xBC, 10}).value)), "int");

    // Branches are absolute: back to 0 from 1, forward with the long form.
    auto branches = decodeAll({0x00, 0xA7, 0xFF, 0xFF, 0xC8, 0, 0, 0, 5, 0xB1}, nullptr);
    ASSERT_EQ(branches.size(), 4u);
    EXPECT_EQ(branches[1].target, 0u);
    EXPECT_EQ(branches[2].target, 9u);
}

// A switch at each alignment: its padding, default and cases.
TEST(VQInstructionDecoder, DecodesBothSwitchesAtEachAlignment) {
    for (uint32_t lead = 0; lead < 4; ++lead) {
        for (bool table : {true, false}) {
            Bytes code(lead, 0x00);
            const uint32_t at = lead;
            code.push_back(table ? 0xAA : 0xAB);
            const uint32_t padding = (4 - ((at + 1) % 4)) % 4;
            code.insert(code.end(), padding, 0);
            // default: to the nop at 0 (a backward branch), cases to the return at the end.
            putU4(code, static_cast<uint32_t>(-static_cast<int32_t>(at)));
            const uint32_t size = table ? 1 + padding + 12 + 2 * 4 : 1 + padding + 8 + 2 * 8;
            const uint32_t end = at + size;
            if (table) {
                putU4(code, static_cast<uint32_t>(-1));
                putU4(code, 0);
                putU4(code, end - at);
                putU4(code, end - at);
            } else {
                putU4(code, 2);
                putU4(code, static_cast<uint32_t>(-5));
                putU4(code, end - at);
                putU4(code, 100);
                putU4(code, end - at);
            }
            code.push_back(0xB1);
            VQCodeFault fault;
            auto decoded = decodeAll(code, nullptr, &fault);
            ASSERT_EQ(fault, VQCodeFault::none) << lead << table;
            ASSERT_EQ(decoded.size(), lead + 2);
            const VQInstruction& s = decoded[lead];
            EXPECT_EQ(s.length, size);
            EXPECT_EQ(s.target, 0u);
            ASSERT_EQ(s.caseCount(), 2u);
            EXPECT_EQ(s.caseMatch(0), table ? -1 : -5);
            EXPECT_EQ(s.caseMatch(1), table ? 0 : 100);
            EXPECT_EQ(s.caseTarget(0), end);
            EXPECT_EQ(s.caseTarget(1), end);
            EXPECT_EQ(decoded.back().offset, end);
        }
    }
}

TEST(VQInstructionDecoder, NamesEachFaultAndWhere) {
    Pool pool = makePool();
    struct Case {
        Bytes code;
        VQCodeFault fault;
        uint32_t offset;
    };
    const std::vector<Case> cases = {
        {{0x00, 0xCB}, VQCodeFault::unknownOpcode, 1},
        {{0x00, 0xFF}, VQCodeFault::unknownOpcode, 1},
        {{0xC4, 0x00, 0x00}, VQCodeFault::unknownOpcode, 0},  // wide cannot widen nop
        {{0x00, 0x11, 0x01}, VQCodeFault::truncated, 1},
        {{0xC4, 0x84, 0, 1, 0}, VQCodeFault::truncated, 0},
        {{0xAA, 0, 0}, VQCodeFault::truncated, 0},
        {{0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, VQCodeFault::truncated, 0},
        {{0xAB, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF}, VQCodeFault::truncated, 0},
        {{0xAB, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, VQCodeFault::badSwitch, 0},
        {{0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, VQCodeFault::badSwitch, 0},
        {{0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99},
         VQCodeFault::branchOutside,
         0},
        {{0xA7, 0, 3}, VQCodeFault::branchOutside, 0},
        {{0x00, 0xA7, 0xFF, 0xFE}, VQCodeFault::branchOutside, 1},
        {{0xC8, 0x7F, 0, 0, 0}, VQCodeFault::branchOutside, 0},
        {{0x12, 0x00}, VQCodeFault::badPoolIndex, 0},
        {{0x13, 0x00, static_cast<uint8_t>(pool.longValue)}, VQCodeFault::badPoolIndex, 0},
        {{0xB4, 0x00, static_cast<uint8_t>(pool.method)}, VQCodeFault::badPoolIndex, 0},
        {{0xB6, 0x00, static_cast<uint8_t>(pool.interfaceMethod)}, VQCodeFault::badPoolIndex, 0},
        {{0xBB, 0x7F, 0xFF}, VQCodeFault::badPoolIndex, 0},
        {{0xBC, 3}, VQCodeFault::badOperand, 0},
        {{0xC5, 0x00, static_cast<uint8_t>(pool.klass), 0}, VQCodeFault::badOperand, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        VQCodeFault fault;
        uint32_t at = 0;
        decodeAll(cases[i].code, pool.entries.get(), &fault, &at);
        EXPECT_EQ(fault, cases[i].fault) << "case " << i;
        EXPECT_EQ(at, cases[i].offset) << "case " << i;
        EXPECT_STRNE(VQCodeFaultReason(fault), "no fault");
    }
}

TEST(VQCodeAttribute, ReadsTheHeaderTablesAndAttributesOrNamesTheFault) {
    Pool pool = makePool();
    Bytes info;
    putU2(info, 2);
    putU2(info, 3);
    putU4(info, 2);
    info.insert(info.end(), {0x00, 0xB1});
    putU2(info, 1);
    putU2(info, 0), putU2(info, 1), putU2(info, 1), putU2(info, pool.klass);
    putU2(info, 1);
    putU2(info, 1);  // a name that is not Utf8 still reads, nameless
    putU4(info, 1);
    info.push_back(9);
    VQCodeAttribute code(info, *pool.entries);
    EXPECT_FALSE(code.fault());
    EXPECT_EQ(code.maxStack(), 2);
    EXPECT_EQ(code.maxLocals(), 3);
    EXPECT_EQ(code.code().size(), 2u);
    ASSERT_EQ(code.exceptionTable().size(), 1u);
    EXPECT_EQ(code.exceptionTable()[0].catchType, pool.klass);
    ASSERT_EQ(code.attributes().size(), 1u);
    EXPECT_EQ(code.attributes()[0].info.size(), 1u);

    // Every cut of the attribute is a fault of its structure, inside the info.
    for (size_t cut = 0; cut < info.size(); ++cut) {
        VQCodeAttribute shorter(std::span<const uint8_t>(info.data(), cut), *pool.entries);
        ASSERT_TRUE(shorter.fault()) << cut;
        EXPECT_FALSE(shorter.fault()->inCode);
        EXPECT_LE(shorter.fault()->offset, cut);
    }
    // A handler past the code, and a bad instruction.
    Bytes bad = info;
    bad[13] = 5;
    EXPECT_TRUE(VQCodeAttribute(bad, *pool.entries).fault());
    bad = info;
    bad[9] = 0xCB;
    auto fault = VQCodeAttribute(bad, *pool.entries).fault();
    ASSERT_TRUE(fault);
    EXPECT_TRUE(fault->inCode);
    EXPECT_EQ(fault->offset, 1u);
}

}  // namespace
}  // namespace ornith
