#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "number_log_fixture.h"

namespace velgrin::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using StoreFailureTest = NumberLogTest;

std::string Message(const fs::path& file, const std::string& reason) {
    return "Не удалось записать в файл:\r\n" + file.string() + "\r\n" + reason;
}

TEST_F(StoreFailureTest, MissingFolderIsReportedOncePerNumberAndStoredWhenItIsBack) {
    const auto gone = folder / "gone";
    logFile = gone / "log.txt";
    SwitchAutoStoreOn(logFile);
    core.TypeButtonString = kDs1921HType;

    // Both thermometer steps read the same first entry; the logger step still runs after them.
    Rebuild({kDs18B20First, kDs18B20Second, kDs1921H});

    EXPECT_THAT(host.messages, ElementsAre(Message(logFile, std::strerror(ENOENT)),
                                           Message(logFile, std::strerror(ENOENT))));
    EXPECT_THAT(log.autoStore().List, IsEmpty());
    EXPECT_EQ(host.beeps, 0);

    fs::create_directory(gone);
    Rebuild({kDs18B20First});

    EXPECT_THAT(MainLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ", " ",
                            "DS18B20 Temperature Sensor +125C..-50C 05.03.2024 14:07:09",
                            "6C0000045A8B1A28"));
    EXPECT_EQ(CompanionLines().back(), "281A8B5A0400006C");
    EXPECT_EQ(host.messages.size(), 2u);
}

// Folder permissions do not bind the superuser (CI runs as root): such a run writes as "nobody"
// for the while, which this single-threaded test program can do and undo.
class WithoutPrivileges {
  public:
    WithoutPrivileges() : root_(::geteuid() == 0) {
        if (root_) {
            EXPECT_EQ(::seteuid(kNobody), 0);
        }
    }
    ~WithoutPrivileges() {
        if (root_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    WithoutPrivileges(const WithoutPrivileges&) = delete;
    WithoutPrivileges& operator=(const WithoutPrivileges&) = delete;

  private:
    static constexpr uid_t kNobody = 65534;
    bool root_;
};

TEST_F(StoreFailureTest, ReadOnlyFolderIsReportedAndStoredWhenWritable) {
    SwitchAutoStoreOn(logFile);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

    {
        WithoutPrivileges nobody;
        Rebuild({kDs18B20First});
    }
    EXPECT_THAT(host.messages, ElementsAre(Message(logFile, std::strerror(EACCES))));

    fs::permissions(folder, fs::perms::owner_all);
    Rebuild({kDs18B20First});
    EXPECT_EQ(MainLines().size(), 5u);
    EXPECT_EQ(MainLines().back(), "6C0000045A8B1A28");
}

// Lets a file grow by only a few bytes, as a disk that fills during the write would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(StoreFailureTest, FullDiskIsReportedWithoutTouchingTheCompanionAndTheNumberIsKept) {
    SwitchAutoStoreOn(logFile);
    {
        FileSizeLimit full(0);
        Rebuild({kDs18B20First});
    }

    EXPECT_THAT(host.messages, ElementsAre(Message(logFile, std::strerror(EFBIG))));
    EXPECT_FALSE(fs::exists(Companion(logFile)));
    EXPECT_THAT(log.autoStore().List, IsEmpty());

    Rebuild({});
    Rebuild({kDs18B20First});
    EXPECT_EQ(MainLines().back(), "6C0000045A8B1A28");
    EXPECT_EQ(MainLines().size(), 5u);
}

TEST_F(StoreFailureTest, AFifoOrADeviceIsNeverWrittenTo) {
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a reader, opening it for writing would wait for ever.
    SwitchAutoStoreOn(fifo);
    Rebuild({kDs18B20First});
    EXPECT_THAT(host.messages, ElementsAre(Message(fifo, "is not a regular file")));
    EXPECT_THAT(log.autoStore().List, IsEmpty());
}

TEST_F(StoreFailureTest, WriteCutShortLeavesNoPartOfTheLinesAndIsDoneLater) {
    SwitchAutoStoreOn(logFile);
    Rebuild({kDs18B20First});
    const std::string before = ReadWholeFile(logFile);
    Rebuild({});
    {
        FileSizeLimit limit(before.size() + 10);
        Rebuild({kDs18S20});
    }

    EXPECT_THAT(host.messages, ElementsAre(Message(logFile, std::strerror(EFBIG))));
    EXPECT_EQ(ReadWholeFile(logFile), before);

    Rebuild({kDs18S20});
    const auto lines = MainLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], " ");
    EXPECT_EQ(lines[6], "DS18S20 Temperature Sensor -50..+125C 05.03.2024 14:07:09");
    EXPECT_EQ(lines[7], "9C0008020B923E10");
}

TEST_F(StoreFailureTest, CompanionFailureIsReportedAndTheNumberCountsAsStored) {
    SwitchAutoStoreOn(logFile);
    fs::create_directory(Companion(logFile));

    Rebuild({kDs18B20First});

    EXPECT_THAT(host.messages, ElementsAre(Message(Companion(logFile), "is a folder, not a file")));
    EXPECT_EQ(MainLines().back(), "6C0000045A8B1A28");

    Rebuild({});
    Rebuild({kDs18B20First});
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace velgrin::testing
