#pragma once

#include <string>
#include <vector>

#include "support/bytes.h"

namespace veskari::test {

/// A fresh folder for one test's files, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& Path() const noexcept { return path_; }
    /// Path() + "/" + name.
    [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    /// Writes a file (creating its folders) and returns its path.
    std::string Write(const std::string& name, const Bytes& bytes) const;
    std::string MakeFolder(const std::string& name) const;

private:
    std::string path_;
};

/// The separator that a folder walk puts between names: '/', or the
/// backslash on Windows.
#if defined(_WIN32)
inline constexpr char kWalkSeparator = '\\';
#else
inline constexpr char kWalkSeparator = '/';
#endif

/// The path that a walk of `folder` gives the entry `below` (names joined by
/// '/'): as the walk composes it, with kWalkSeparator.
[[nodiscard]] std::string Walked(const std::string& folder, std::string below);

/// Skips the rest of a test on Windows, which lacks what it needs (FIFOs,
/// symbolic links for anyone, POSIX permissions, signals, /proc).
#if defined(_WIN32)
#define VESKARI_SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define VESKARI_SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

/// Makes a new folder in `parent`, named `prefix` and a random number.
[[nodiscard]] std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix);

/// The veskari-* files left in the temporary directory of the analysis.
[[nodiscard]] std::vector<std::string> LeftoverTemporaryFiles();

struct CommandResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

/// Runs a shell command line with `workingDirectory` as its folder and
/// collects its output. On Windows, which has no POSIX shell, the line may
/// only hold NAME=value words, then a program and its arguments, quoted by
/// ShellQuote.
[[nodiscard]] CommandResult RunCommand(const std::string& commandLine, const std::string& workingDirectory = ".");

/// Quotes a text for the shell.
[[nodiscard]] std::string ShellQuote(const std::string& text);

/// A test parameter's text as a test name: letters and digits kept, every
/// other character '_'.
[[nodiscard]] std::string ParamName(std::string text);

/// The test data of the repository (tests/data): testdata/ with the
/// third-party archives and microcode files, golden/ with the golden reports.
[[nodiscard]] std::string SharedDir();

}  // namespace veskari::test
