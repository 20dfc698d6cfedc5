#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace velgrin::cli::testing {

// A temporary folder for one test's bench files, log files and saved benches; removed with
// everything in it when the test ends.
class BenchFolder {
  public:
    BenchFolder();
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    std::string path(const std::string& name) const { return root_ + "/" + name; }
    // Writes the text as the file `name`; gives its path.
    std::string write(const std::string& name, const std::string& text) const;
    // Writes a bench description; gives the --port text that opens it.
    std::string bench(const std::string& name, const nlohmann::json& description) const;

    bool exists(const std::string& name) const;
    std::string read(const std::string& name) const;
    nlohmann::json readJson(const std::string& name) const;

  private:
    std::string root_;
};

}  // namespace velgrin::cli::testing
