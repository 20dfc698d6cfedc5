#pragma once

#include <string>

#include "common/result.h"

namespace velgrin {

// errno of the failed call (EINVAL for a path that is not a regular file) and its wording.
using AppendError = Error<int>;

// Appends `text` to the regular file at `path`, creating the file when missing, and closes it
// again.
// Either the whole text reaches the file or the file keeps its previous length, so a full disk
// never leaves half a line behind.
Result<void, AppendError> AppendWholeText(const std::string& path, const std::string& text);

}  // namespace velgrin
