#include "machine_tree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace velgrin::cli::doctor::testing {

namespace fs = std::filesystem;

MachineTree::MachineTree() {
    std::string pattern = (fs::temp_directory_path() / "velgrin-machine-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("no temporary folder");
    }
    root_ = pattern;
}

MachineTree::~MachineTree() {
    if (owned_) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
}

void MachineTree::file(const std::string& path, const std::string& text) const {
    fs::create_directories(fs::path(root_ + path).parent_path());
    std::ofstream(root_ + path, std::ios::binary | std::ios::trunc) << text;
}

void MachineTree::node(const std::string& path, mode_t mode) const {
    file(path, "");
    ::chmod((root_ + path).c_str(), mode);
}

void MachineTree::link(const std::string& path, const std::string& target) const {
    fs::create_directories(fs::path(root_ + path).parent_path());
    fs::remove(root_ + path);
    fs::create_symlink(target, root_ + path);
}

void MachineTree::folder(const std::string& path) const {
    fs::create_directories(root_ + path);
}

void MachineTree::remove(const std::string& path) const {
    fs::remove_all(root_ + path);
}

void MachineTree::user(const std::string& groupName, bool inNodeGroup, bool listed) const {
    const std::string uid = std::to_string(::geteuid() + 1000);
    const std::string nodeGroup = std::to_string(::getegid());
    const std::string ownGroup = std::to_string(::getegid() + 1000);
    file("/proc/self/status", "Name:\tvelgrin-cli\nUid:\t" + uid + "\t" + uid + "\t" + uid + "\t" +
                                  uid + "\nGid:\t" + ownGroup + "\t" + ownGroup + "\t" + ownGroup +
                                  "\t" + ownGroup + "\nGroups:\t" +
                                  (inNodeGroup ? nodeGroup + " " : "") + "\n");
    file("/etc/passwd", "root:x:0:0:root:/root:/bin/bash\ntech:x:" + uid + ":" + ownGroup +
                            "::/home/tech:/bin/bash\n");
    file("/etc/group", "tech:x:" + ownGroup + ":\n" + groupName + ":x:" + nodeGroup + ":" +
                           (listed ? "tech" : "") + "\n");
}

}  // namespace velgrin::cli::doctor::testing
