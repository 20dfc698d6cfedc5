#include "numberlog/whole_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/text_file.h"

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
    // A FIFO or a device would block the poll or take half a line; only a regular file is
    // appended to.
    auto opened = OpenOutputFile(path, O_APPEND);
    if (!opened) {
        const int code = opened.error().code == TextFileError::NotRegular ? EINVAL : errno;
        return AppendError{code, opened.error().message};
    }
    const int fd = *opened;
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        const int failure = errno;
        ::close(fd);
        return SystemError(failure);
    }

    int failure = 0;
    if (!WriteAll(fd, text, failure)) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
        ::close(fd);
        return SystemError(failure);
    }
    // Some file systems report a lost write only when the file is closed. EINTR is no such
    // report: Linux has released the descriptor and the text is written.
    if (::close(fd) != 0 && errno != EINTR) {
        failure = errno;
        [[maybe_unused]] const int cut = ::truncate(path.c_str(), before.st_size);
        return SystemError(failure);
    }
    return {};
}

}  // namespace velgrin
