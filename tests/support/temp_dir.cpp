#include "support/temp_dir.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>

#include "platform/anonymous_file.h"

namespace veskari::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = TemporaryDirectory() + "/work-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Folders made read-only by a test must become writable to be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const
{
    const fs::path path = fs::path(path_) / name;
    fs::create_directories(path.parent_path());
    WriteFile(path.string(), bytes);
    return path.string();
}

std::string TempDir::MakeFolder(const std::string& name) const
{
    const fs::path path = fs::path(path_) / name;
    fs::create_directories(path);
    return path.string();
}

std::vector<std::string> LeftoverTemporaryFiles()
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(TemporaryDirectory(), ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("veskari-")) {
            names.push_back(name);
        }
    }
    return names;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

CommandResult RunCommand(const std::string& commandLine, const std::string& workingDirectory)
{
    const TempDir capture;
    const std::string out = capture / "out";
    const std::string err = capture / "err";
    const std::string full = "cd " + ShellQuote(workingDirectory) + " && " + commandLine + " >" + ShellQuote(out) +
                             " 2>" + ShellQuote(err) + " </dev/null";
    const int status = std::system(full.c_str());
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

std::string ParamName(std::string text)
{
    for (char& c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return text;
}

std::string SharedDir()
{
    const std::string dir = VESKARI_SHARED_DIR;
    std::error_code ignored;
    return fs::is_directory(dir + "/golden", ignored) ? dir : std::string();
}

}  // namespace veskari::test
