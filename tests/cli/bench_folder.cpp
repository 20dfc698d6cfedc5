#include "bench_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velgrin::cli::testing {

BenchFolder::BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velgrin-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    root_ = pattern;
}

BenchFolder::~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string BenchFolder::write(const std::string& name, const std::string& text) const {
    std::ofstream file(path(name), std::ios::binary);
    file << text;
    return path(name);
}

std::string BenchFolder::bench(const std::string& name, const nlohmann::json& description) const {
    return "sim:" + write(name, description.dump(2));
}

bool BenchFolder::exists(const std::string& name) const {
    return std::filesystem::exists(path(name));
}

std::string BenchFolder::read(const std::string& name) const {
    std::ifstream file(path(name), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

nlohmann::json BenchFolder::readJson(const std::string& name) const {
    return nlohmann::json::parse(read(name));
}

}  // namespace velgrin::cli::testing
