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

// Checks a path the program is to write for a user: a regular file, or nothing yet (a new file).
// A FIFO, a device or a folder is refused at once instead of blocking the program or swallowing
// what it writes.
TextFileResult<void> CheckOutputPath(const std::string& path);

// Opens such a path for writing, creating it when missing; `flags` adds O_APPEND or the like.
// Never waits for a reader. The caller owns the descriptor.
TextFileResult<int> OpenOutputFile(const std::string& path, int flags);

// Replaces the file's contents with text of at most kMaxUserFileBytes, then reads it back; the
// message says why it failed.
TextFileResult<void> WriteTextFile(const std::string& path, const std::string& text);

}  // namespace velgrin
