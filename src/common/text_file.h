#pragma once

#include <cstddef>
#include <string>

#include "common/result.h"

namespace velgrin {

enum class TextFileError {
    CannotOpen,  // missing, no permission, ...
    NotRegular,  // a folder, a device node, a FIFO
    TooLarge,    // more bytes than the caller accepts
    ReadFailed,
    WriteFailed,
};

// The largest file a user may hand the program: bench descriptions, configurations, backups.
inline constexpr size_t kMaxUserFileBytes = 1024 * 1024;

template <typename T>
using TextFileResult = Result<T, Error<TextFileError>>;

// Reads the whole of a file that a user named. Only a regular file of at most maxBytes is read,
// so a folder, /dev/zero or a FIFO without a writer is refused at once instead of hanging or
// filling memory. The message says why, without the path (the caller knows what the file is for).
TextFileResult<std::string> ReadTextFile(const std::string& path, size_t maxBytes);

// Replaces the file's contents with text; the message says why it failed.
TextFileResult<void> WriteTextFile(const std::string& path, const std::string& text);

}  // namespace velgrin
