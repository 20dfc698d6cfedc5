#pragma once

#include <string>

#include "common/result.h"

namespace velgrin {

// errno of the failed call, and the system's wording of it.
using AppendError = Error<int>;

// Appends `text` to the file at `path`, creating the file when missing, and closes it again.
// Either the whole text reaches the file or the file keeps its previous length, so a full disk
// never leaves half a line behind.
Result<void, AppendError> AppendWholeText(const std::string& path, const std::string& text);

}  // namespace velgrin
