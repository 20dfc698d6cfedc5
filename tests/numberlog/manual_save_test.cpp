#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "number_log_fixture.h"

namespace velgrin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ManualSaveTest : public NumberLogTest {
  protected:
    void SelectLogger(const char* number) { surface.setText("cmbSN", std::string("03 ") + number); }
};

TEST_F(ManualSaveTest, CancelledCommentGivesTheDefaultCommentWithDateAndNumber) {
    SelectLogger(kDs1921H);
    host.inputAnswers.push_back(std::nullopt);
    host.saveAnswers.push_back(logFile.string());

    log.btnSaveToFileClick();

    ASSERT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(host.prompts[0].caption, "Введите коментарий:");
    EXPECT_EQ(host.prompts[0].prompt, "Сохранение на диске");
    EXPECT_EQ(host.prompts[0].preset, "Датчик");
    EXPECT_THAT(host.saveExtensions, ElementsAre("txt"));
    EXPECT_EQ(ReadWholeFile(logFile), "05.03.2024: Датчик 124F20002B104521\r\n");
}

TEST_F(ManualSaveTest, SameNumberSavedTwiceGivesTwoLinesAndIsNotAutoStored) {
    SelectLogger(kDs1921H);
    host.inputAnswers = {std::string("Стенд 3"), std::string("Стенд 3")};
    host.saveAnswers = {logFile.string(), logFile.string()};

    log.btnSaveToFileClick();
    dateTime.moment = {2024, 11, 28, 9, 0, 0};
    log.btnSaveToFileClick();

    EXPECT_THAT(MainLines(), ElementsAre("05.03.2024: Стенд 3 124F20002B104521",
                                         "28.11.2024: Стенд 3 124F20002B104521"));
    EXPECT_THAT(log.autoStore().List, IsEmpty());
}

TEST_F(ManualSaveTest, ACommentStaysOnItsLine) {
    SelectLogger(kDs1921H);
    host.inputAnswers.push_back(std::string("a\r\nFAKE 0000000000000000\tb"));
    host.saveAnswers.push_back(logFile.string());

    log.btnSaveToFileClick();

    EXPECT_EQ(ReadWholeFile(logFile),
              "05.03.2024: a  FAKE 0000000000000000 b 124F20002B104521\r\n");
}

TEST_F(ManualSaveTest, EmptyLoggerListAsksNothingAndWritesNothing) {
    host.saveAnswers.push_back(logFile.string());

    log.btnSaveToFileClick();

    EXPECT_THAT(host.prompts, IsEmpty());
    EXPECT_THAT(host.saveExtensions, IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(ManualSaveTest, CancelledFileDialogWritesNothing) {
    SelectLogger(kDs1921H);

    log.btnSaveToFileClick();

    EXPECT_EQ(host.saveExtensions.size(), 1u);
    EXPECT_THAT(host.messages, IsEmpty());
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(ManualSaveTest, AFileThatCannotBeWrittenIsReportedAndTheNextSaveWorks) {
    SelectLogger(kDs1921H);
    host.saveAnswers = {std::string("/dev/full"), logFile.string()};

    log.btnSaveToFileClick();
    ASSERT_THAT(host.messages,
                ElementsAre(std::string("Не удалось записать в файл:\r\n/dev/full\r\n") +
                            "is not a regular file"));

    log.btnSaveToFileClick();
    EXPECT_THAT(MainLines(), ElementsAre("05.03.2024: Датчик 124F20002B104521"));
    EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace velgrin::testing
