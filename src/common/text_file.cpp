#include "common/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velgrin {

namespace {

Error<TextFileError> Failure(TextFileError code, const std::string& message) {
    return {code, message};
}

std::string SystemReason() {
    return std::strerror(errno);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

TextFileResult<void> RegularOrRefused(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return {};
    }
    return Failure(TextFileError::NotRegular,
                   S_ISDIR(status.st_mode) ? "is a folder, not a file" : "is not a regular file");
}

}  // namespace

TextFileResult<std::string> ReadTextFile(const std::string& path, size_t maxBytes) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait; it is refused below.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        return Failure(TextFileError::CannotOpen, "cannot be read (" + SystemReason() + ")");
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return Failure(TextFileError::ReadFailed, "cannot be read (" + SystemReason() + ")");
    }
    if (auto regular = RegularOrRefused(status); !regular) {
        return regular.error();
    }
    const std::string tooLarge = "is larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        return Failure(TextFileError::TooLarge, tooLarge);
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Failure(TextFileError::ReadFailed, "cannot be read (" + SystemReason() + ")");
        }
        if (got == 0) {
            return text;
        }
        // The file may grow while it is read.
        if (text.size() + static_cast<size_t>(got) > maxBytes) {
            return Failure(TextFileError::TooLarge, tooLarge);
        }
        text.append(buffer, static_cast<size_t>(got));
    }
}

TextFileResult<void> CheckOutputPath(const std::string& path) {
    if (path.empty()) {
        return Failure(TextFileError::CannotOpen, "is an empty file name");
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) {
            return {};
        }
        return Failure(TextFileError::CannotOpen, SystemReason());
    }
    return RegularOrRefused(status);
}

TextFileResult<int> OpenOutputFile(const std::string& path, int flags) {
    if (auto checked = CheckOutputPath(path); !checked) {
        return checked.error();
    }
    // The path may have changed since the check: the descriptor is checked again.
    Descriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags, 0666));
    if (file.get() < 0) {
        return Failure(TextFileError::CannotOpen, SystemReason());
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return Failure(TextFileError::CannotOpen, SystemReason());
    }
    if (auto regular = RegularOrRefused(status); !regular) {
        return regular.error();
    }
    return file.release();
}

TextFileResult<void> WriteTextFile(const std::string& path, const std::string& text) {
    if (text.size() > kMaxUserFileBytes) {
        return Failure(TextFileError::TooLarge,
                       "would be larger than " + std::to_string(kMaxUserFileBytes) + " bytes");
    }
    auto opened = OpenOutputFile(path, 0);
    if (!opened) {
        return opened.error();
    }
    Descriptor file(*opened);
    if (::ftruncate(file.get(), 0) != 0) {
        return Failure(TextFileError::WriteFailed, SystemReason());
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(file.get(), text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return Failure(TextFileError::WriteFailed, SystemReason());
        }
        done += static_cast<size_t>(put);
    }
    if (::close(file.release()) != 0) {
        return Failure(TextFileError::WriteFailed, SystemReason());
    }
    const auto readBack = ReadTextFile(path, text.size());
    if (!readBack || *readBack != text) {
        return Failure(TextFileError::WriteFailed, "does not read back as written");
    }
    return {};
}

}  // namespace velgrin
