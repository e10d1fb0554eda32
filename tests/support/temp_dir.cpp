#include "support/temp_dir.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

#include "platform/anonymous_file.h"
#if defined(_WIN32)
#include "platform/windows/windows_api.h"
#else
#include <sys/wait.h>
#endif

namespace veskari::test {

namespace fs = std::filesystem;

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = parent + "/" + prefix + std::to_string(random());
        std::error_code error;
        if (fs::create_directory(path, error)) {
            return path;
        }
    }
    throw std::runtime_error("no new folder can be made in " + parent);
}

TempDir::TempDir() : path_(MakeUniqueFolder(TemporaryDirectory(), "work-"))
{
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
    const std::string path = *this / name;
    fs::create_directories(FsPath(path).parent_path());
    WriteFile(path, bytes);
    return path;
}

std::string TempDir::MakeFolder(const std::string& name) const
{
    const std::string path = *this / name;
    fs::create_directories(FsPath(path));
    return path;
}

std::string Walked(const std::string& folder, std::string below)
{
    std::replace(below.begin(), below.end(), '/', kWalkSeparator);
    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == kWalkSeparator);
    return separated ? folder + below : folder + kWalkSeparator + below;
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

#if defined(_WIN32)
namespace {

// The words of a command line of the tests' own form, quoted as ShellQuote quotes.
std::vector<std::string> ShellWords(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == ' ') {
            if (inWord) {
                words.push_back(word);
                word.clear();
            }
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t end = commandLine.find('\'', i + 1);
            word += commandLine.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '\\' && i + 1 < commandLine.size()) {
            word += commandLine[++i];
        } else {
            word += c;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

// An argument as CommandLineToArgvW and the C library read it back.
std::wstring WindowsQuote(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// The process's environment with `changes` (NAME=value) made, as a block for CreateProcessW.
std::wstring EnvironmentWith(const std::vector<std::wstring>& changes)
{
    std::vector<std::wstring> variables;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        variables.emplace_back(entry);
    }
    ::FreeEnvironmentStringsW(block);
    for (const std::wstring& change : changes) {
        const std::wstring name = change.substr(0, change.find(L'=') + 1);
        std::erase_if(variables, [&name](const std::wstring& variable) {
            return variable.size() >= name.size() && ::_wcsnicmp(variable.c_str(), name.c_str(), name.size()) == 0;
        });
        if (change.size() > name.size()) {
            variables.push_back(change);  // NAME= alone unsets, as an empty value does for the programs
        }
    }
    std::wstring environment;
    for (const std::wstring& variable : variables) {
        environment += variable + L'\0';
    }
    return environment + L'\0';
}

}  // namespace

CommandResult RunCommand(const std::string& commandLine, const std::string& workingDirectory)
{
    // Windows has no POSIX shell: NAME=value words, a program and its
    // arguments are taken apart here, and the program is run directly.
    const std::vector<std::string> words = ShellWords(commandLine);
    std::vector<std::wstring> changes;
    std::size_t first = 0;
    for (; first < words.size(); ++first) {
        const std::size_t equals = words[first].find('=');
        if (equals == std::string::npos || equals == 0 ||
            words[first].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") < equals) {
            break;
        }
        changes.push_back(windows::WideFromUtf8(words[first]));
    }
    if (first == words.size()) {
        throw std::runtime_error("no program in: " + commandLine);
    }
    // The program by its full path: the working directory may be on another drive.
    std::wstring program = windows::WideFromUtf8(words[first]);
    wchar_t full[MAX_PATH];
    if (program.find_first_of(L"\\/") != std::wstring::npos &&
        ::GetFullPathNameW(program.c_str(), MAX_PATH, full, nullptr) - 1U < MAX_PATH - 1U) {
        program = full;
    }
    std::wstring line = WindowsQuote(program);
    for (std::size_t i = first + 1; i < words.size(); ++i) {
        line += L" " + WindowsQuote(windows::WideFromUtf8(words[i]));
    }

    const TempDir capture;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto create = [&inherited](const std::string& path, DWORD access, DWORD disposition) {
        return ::CreateFileW(windows::SystemPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherited, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE input = create("NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE output = create(capture / "out", GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE error = create(capture / "err", GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    std::wstring environment = EnvironmentWith(changes);
    const std::wstring folder = windows::WideFromUtf8(workingDirectory);
    PROCESS_INFORMATION process{};
    CommandResult result;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                         environment.data(), folder.c_str(), &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        ::GetExitCodeProcess(process.hProcess, &status);
        result.exitStatus = static_cast<int>(status);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    for (const HANDLE handle : {input, output, error}) {
        ::CloseHandle(handle);
    }
    result.out = ReadFile(capture / "out");
    result.err = ReadFile(capture / "err");
    return result;
}
#else
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
#endif

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
    return VESKARI_TEST_DATA_DIR;
}

}  // namespace veskari::test
