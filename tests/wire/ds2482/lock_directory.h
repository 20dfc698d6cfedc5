#pragma once

#include <string>

namespace velgrin::ds2482 {

// A directory of its own for the lock files of one test, removed with it.
class LockDirectory {
  public:
    LockDirectory();
    ~LockDirectory();
    LockDirectory(const LockDirectory&) = delete;
    LockDirectory& operator=(const LockDirectory&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace velgrin::ds2482
