#include "common/text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velgrin {
namespace {

namespace fs = std::filesystem;

class TextFileTest : public ::testing::Test {
  protected:
    TextFileTest() {
        std::string pattern = (fs::temp_directory_path() / "velgrin-text-file-XXXXXX").string();
        folder = mkdtemp(pattern.data());
    }
    ~TextFileTest() override { fs::remove_all(folder); }

    std::string path(const char* name) const { return (folder / name).string(); }

    fs::path folder;
};

TEST_F(TextFileTest, AWrittenFileIsReadBackWhole) {
    const std::string text = std::string("{\"devices\": []}\r\n") + std::string(20000, 'x');
    ASSERT_TRUE(WriteTextFile(path("bench.json"), text));
    const auto read = ReadTextFile(path("bench.json"), kMaxUserFileBytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, text);
}

TEST_F(TextFileTest, OnlyARegularFileWithinTheLimitIsRead) {
    ASSERT_TRUE(WriteTextFile(path("big.json"), std::string(101, ' ')));
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);

    const auto tooLarge = ReadTextFile(path("big.json"), 100);
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, TextFileError::TooLarge);
    EXPECT_EQ(tooLarge.error().message, "is larger than 100 bytes");

    const auto folderRead = ReadTextFile(folder.string(), 100);
    ASSERT_FALSE(folderRead);
    EXPECT_EQ(folderRead.error().message, "is a folder, not a file");

    // Neither waits for a writer nor reads without end.
    for (const std::string& special : {path("fifo"), std::string("/dev/zero")}) {
        const auto read = ReadTextFile(special, kMaxUserFileBytes);
        ASSERT_FALSE(read) << special;
        EXPECT_EQ(read.error().code, TextFileError::NotRegular) << special;
    }

    const auto missing = ReadTextFile(path("missing.json"), 100);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, TextFileError::CannotOpen);
}

TEST_F(TextFileTest, AWriteThatCannotBeDoneSaysWhy) {
    const auto intoMissingFolder = WriteTextFile(path("no/such/folder.json"), "{}");
    ASSERT_FALSE(intoMissingFolder);
    EXPECT_EQ(intoMissingFolder.error().code, TextFileError::CannotOpen);

    const auto tooLarge = WriteTextFile(path("big.json"), std::string(kMaxUserFileBytes + 1, ' '));
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, TextFileError::TooLarge);
    EXPECT_FALSE(fs::exists(path("big.json")));
}

TEST_F(TextFileTest, OnlyARegularFileOrANewOneIsWrittenAndNothingWaitsForAReader) {
    ASSERT_EQ(mkfifo(path("lonely").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(path("read").c_str(), 0600), 0);
    // With a reader a FIFO would open at once and swallow what is written.
    const int reader = ::open(path("read").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const std::string& special : {path("lonely"), path("read"), std::string("/dev/full"),
                                       std::string("/dev/null"), folder.string()}) {
        EXPECT_FALSE(CheckOutputPath(special)) << special;
        const auto written = WriteTextFile(special, "{}");
        ASSERT_FALSE(written) << special;
        EXPECT_EQ(written.error().code, TextFileError::NotRegular) << special;
        const auto appended = OpenOutputFile(special, O_APPEND);
        ASSERT_FALSE(appended) << special;
        EXPECT_EQ(appended.error().code, TextFileError::NotRegular) << special;
    }
    char swallowed[4];
    EXPECT_LT(::read(reader, swallowed, sizeof swallowed), 1);
    ::close(reader);

    EXPECT_TRUE(CheckOutputPath(path("new.txt")));
    EXPECT_FALSE(CheckOutputPath(""));
    const auto opened = OpenOutputFile(path("new.txt"), O_APPEND);
    ASSERT_TRUE(opened);
    ::close(*opened);
    EXPECT_TRUE(fs::is_regular_file(path("new.txt")));
}

}  // namespace
}  // namespace velgrin
