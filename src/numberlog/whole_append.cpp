#include "numberlog/whole_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace velgrin {

namespace {

AppendError SystemError(int code) {
    return AppendError{code, std::error_code(code, std::generic_category()).message()};
}

// Loops over short writes, which a filling disk or a signal may cause.
bool WriteAll(int fd, const std::string& text, int& failure) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            failure = errno;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

Result<void, AppendError> AppendWholeText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return SystemError(errno);
    }
    struct stat before {};
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);

    int failure = 0;
    if (!WriteAll(fd, text, failure)) {
        if (regular) {
            [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
        }
        ::close(fd);
        return SystemError(failure);
    }
    // Some file systems report a lost write only when the file is closed. EINTR is no such
    // report: Linux has released the descriptor and the text is written.
    if (::close(fd) != 0 && errno != EINTR) {
        failure = errno;
        if (regular) {
            [[maybe_unused]] const int cut = ::truncate(path.c_str(), before.st_size);
        }
        return SystemError(failure);
    }
    return {};
}

}  // namespace velgrin
