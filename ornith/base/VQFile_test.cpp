#include "ornith/base/VQFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace ornith {
namespace {

std::string tempPath(const char* name) {
    return std::string(::testing::TempDir()) + "ornith_file_" + std::to_string(::getpid()) + "_" +
           name;
}

TEST(VQFile, ReadsAtOffsetsAndReportsShortReads) {
    const std::string path = tempPath("data");
    std::ofstream(path, std::ios::binary) << "0123456789";
    VQFileStatus status = VQFileStatus::unreadable;
    VQFile file = VQFile::openRegular(path, &status);
    ASSERT_TRUE(file);
    EXPECT_EQ(status, VQFileStatus::ok);
    EXPECT_EQ(file.size(), 10u);
    char buf[4] = {};
    EXPECT_EQ(file.readAt(3, buf, 4), VQFileStatus::ok);
    EXPECT_EQ(std::string(buf, 4), "3456");
    EXPECT_EQ(file.readAt(8, buf, 4), VQFileStatus::shortRead);
    EXPECT_EQ(file.readAt(UINT64_MAX - 1, buf, 4), VQFileStatus::shortRead);
    // A file that shrinks after it was opened gives short reads, not stale sizes.
    ASSERT_EQ(::truncate(path.c_str(), 2), 0);
    EXPECT_EQ(file.readAt(0, buf, 4), VQFileStatus::shortRead);
    EXPECT_EQ(file.readAt(0, buf, 2), VQFileStatus::ok);
    ::unlink(path.c_str());
}

TEST(VQFile, RefusesWhatIsNotARegularFile) {
    VQFileStatus status = VQFileStatus::ok;
    EXPECT_FALSE(VQFile::openRegular(tempPath("missing"), &status));
    EXPECT_EQ(status, VQFileStatus::notFound);
    EXPECT_STREQ(VQFileStatusText(status), "no such file or directory");
    EXPECT_FALSE(VQFile::openRegular(std::string("a\0b", 3), &status));
    EXPECT_EQ(status, VQFileStatus::notFound);
    EXPECT_FALSE(VQFile::openRegular(::testing::TempDir(), &status));
    EXPECT_EQ(status, VQFileStatus::notRegular);
    // A FIFO without a writer is refused at once instead of blocking the caller.
    const std::string fifo = tempPath("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(VQFile::openRegular(fifo, &status));
    EXPECT_EQ(status, VQFileStatus::notRegular);
    ::unlink(fifo.c_str());
}

TEST(VQFile, RefusesFilesOverTheLimitAndMovesOwnership) {
    const std::string path = tempPath("limit");
    std::ofstream(path, std::ios::binary) << "abcdef";
    VQFileStatus status = VQFileStatus::ok;
    EXPECT_FALSE(VQFile::openRegular(path, &status, 5));
    EXPECT_EQ(status, VQFileStatus::tooLarge);
    VQFile a = VQFile::openRegular(path, &status, 6);
    ASSERT_TRUE(a);
    VQFile b = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(b.size(), 6u);
    b.close();
    EXPECT_FALSE(b);
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace ornith
