#include "common/text_file.h"

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

    const auto full = WriteTextFile("/dev/full", "{}");
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error().code, TextFileError::WriteFailed);
}

}  // namespace
}  // namespace velgrin
