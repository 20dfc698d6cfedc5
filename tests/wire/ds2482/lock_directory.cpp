#include "lock_directory.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace velgrin::ds2482 {

LockDirectory::LockDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velgrin-ds2482-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

LockDirectory::~LockDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace velgrin::ds2482
