// Truncation and mutation sweeps of javac 25 classes that carry every nesting, record,
// parameter and annotation attribute (examples/attributes): each damaged file is refused
// with the parser's error or read whole, and a class that is read answers every question
// the same way twice. A class read with lazy attributes agrees with it
// (VQJavaClassLazyComparison.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavaClassLazyComparison.h"
#include "ornith/testing/AttributeQuestions.h"

namespace ornith {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::pair<std::string, Bytes>> examples() {
    std::vector<std::pair<std::string, Bytes>> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             std::string(ORNITH_SOURCE_DIR) + "/examples/attributes/classes")) {
        if (entry.path().extension() != ".class") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        out.emplace_back(entry.path().filename().string(),
                         Bytes(std::istreambuf_iterator<char>(in), {}));
    }
    return out;
}

// False when the bytes are refused; a class that is made must answer consistently.
bool readAndAsk(const Bytes& bytes) {
    std::shared_ptr<VQJavaClass> c;
    try {
        c = VQJavaClass::classWithData(std::span<const uint8_t>(bytes));
    } catch (const VQException& e) {
        testing::expectLazyAgrees(bytes, nullptr, testing::ParseFailure(e));
        return false;
    }
    testing::expectLazyAgrees(bytes, c, std::nullopt, true);
    const size_t answers = testing::askAttributeQuestions(*c);
    EXPECT_EQ(testing::askAttributeQuestions(*c), answers);
    const std::string text = c->description();
    EXPECT_EQ(c->description(), text);
    return true;
}

TEST(VQAttributeQueriesHostileInput, EveryTruncationIsRefusedOrReadWhole) {
    const auto files = examples();
    ASSERT_GE(files.size(), 10u);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(readAndAsk(bytes));
        for (size_t cut = 0; cut < bytes.size(); ++cut)
            EXPECT_FALSE(readAndAsk(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut))))
                << cut;
    }
}

TEST(VQAttributeQueriesHostileInput, EveryByteChangedStillAnswersOrIsRefused) {
    size_t read = 0, refused = 0;
    for (const auto& [name, bytes] : examples()) {
        SCOPED_TRACE(name);
        Bytes changed = bytes;
        for (size_t at = 0; at < bytes.size(); ++at) {
            for (const uint8_t value :
                 {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(bytes[at] ^ 0x01)}) {
                if (value == bytes[at]) continue;
                changed[at] = value;
                (readAndAsk(changed) ? read : refused) += 1;
            }
            changed[at] = bytes[at];
        }
    }
    // Most changes land in attribute bodies, which the new decoders survive as malformed.
    EXPECT_GT(read, refused);
}

}  // namespace
}  // namespace ornith
