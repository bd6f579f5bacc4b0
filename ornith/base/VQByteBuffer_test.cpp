#include "ornith/base/VQByteBuffer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/base/VQLog.h"

namespace ornith {
namespace {

std::string tempPath(const char* name) {
    return std::string(::testing::TempDir()) + "ornith_base_" + std::to_string(::getpid()) + "_" +
           name;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

TEST(VQByteBuffer, ReadsRegularFilesWhole) {
    std::string path = tempPath("small");
    writeFile(path, std::string("ab\0cd", 5));
    auto buffer = VQByteBuffer::bufferWithContentsOfFile(path);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer->bytes()), buffer->length()),
              std::string("ab\0cd", 5));

    std::string big(300 * 1024, 'x');
    big[299 * 1024] = 'y';
    writeFile(path, big);
    buffer = VQByteBuffer::bufferWithContentsOfFile(path);
    ASSERT_TRUE(buffer);
    ASSERT_EQ(buffer->length(), big.size());
    EXPECT_EQ(buffer->bytes()[299 * 1024], 'y');
    std::remove(path.c_str());
}

TEST(VQByteBuffer, RefusesWhatIsNotARegularFile) {
    EXPECT_FALSE(VQByteBuffer::bufferWithContentsOfFile(tempPath("missing")));
    EXPECT_FALSE(VQByteBuffer::bufferWithContentsOfFile(::testing::TempDir()));
    EXPECT_FALSE(VQByteBuffer::bufferWithContentsOfFile(std::string("a\0b", 3)));
    // A FIFO would block a reader for ever; it must be refused at once.
    std::string fifo = tempPath("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(VQByteBuffer::bufferWithContentsOfFile(fifo));
    EXPECT_FALSE(VQIsRegularFile(fifo));
    std::remove(fifo.c_str());

    bool isDirectory = false;
    EXPECT_TRUE(VQFileExists(::testing::TempDir(), &isDirectory));
    EXPECT_TRUE(isDirectory);
}

TEST(VQLargeBytes, EveryByteOfSmallAndHugeBuffersIsUsableAndMovesWithTheBuffer) {
    for (const size_t length : {size_t{0}, size_t{100}, size_t{3} << 20}) {
        VQLargeBytes bytes(length);
        ASSERT_EQ(bytes.size(), length);
        for (size_t i = 0; i < length; ++i) bytes.data()[i] = static_cast<uint8_t>(i * 7);
        VQLargeBytes moved(std::move(bytes));
        EXPECT_EQ(bytes.size(), 0u);
        EXPECT_EQ(bytes.data(), nullptr);
        VQLargeBytes assigned;
        assigned = std::move(moved);
        ASSERT_EQ(assigned.size(), length);
        size_t wrong = 0;
        for (size_t i = 0; i < length; ++i)
            if (assigned.data()[i] != static_cast<uint8_t>(i * 7)) ++wrong;
        EXPECT_EQ(wrong, 0u) << length;
    }
}

TEST(VQByteBuffer, EmptyFileGivesEmptyBuffer) {
    std::string path = tempPath("empty");
    writeFile(path, "");
    auto buffer = VQByteBuffer::bufferWithContentsOfFile(path);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->length(), 0u);
    std::remove(path.c_str());
}

TEST(VQException, CarriesNameAndReason) {
    VQInvalidArgumentException invalid("bad thing");
    EXPECT_EQ(invalid.name(), "InvalidArgumentException");
    EXPECT_EQ(invalid.reason(), "bad thing");
    EXPECT_STREQ(invalid.what(), "bad thing");
    VQInternalInconsistencyException inconsistent("worse");
    EXPECT_EQ(inconsistent.name(), "InternalInconsistencyException");
}

TEST(VQFormat, FormatsShortAndLongTexts) {
    EXPECT_EQ(VQFormat("unknown constant type %d", -1), "unknown constant type -1");
    std::string longText(1000, 'z');
    EXPECT_EQ(VQFormat("<%s>", longText.c_str()), "<" + longText + ">");
}

TEST(VQLog, SinkCanBeReplacedAndRestored) {
    std::vector<std::string> lines;
    VQLogSink previous = VQSetLogSink([&](std::string_view line) { lines.emplace_back(line); });
    VQLog("one line");
    {
        // A muted thread's lines go nowhere, while the mute lives.
        const VQLogMute mute;
        VQLog("muted");
    }
    VQLog("after");
    VQSetLogSink(std::move(previous));
    EXPECT_EQ(lines, (std::vector<std::string>{"one line", "after"}));
}

}  // namespace
}  // namespace ornith
