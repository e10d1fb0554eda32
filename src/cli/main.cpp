// veskari-scan: the report of the desktop window, on standard output.

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analyze_path.h"
#include "platform/file_error.h"
#include "veskari/version.h"

namespace {

// Exit statuses, documented in docs/cli.md.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = "usage: veskari-scan [--crlf] PATH...\n";

constexpr const char* kHelp =
    "usage: veskari-scan [--crlf] PATH...\n"
    "\n"
    "Lists the processor microcode updates (48-byte headers of family-6\n"
    "processors) that BIOS images, microcode files and the LZH members inside\n"
    "them carry. Each PATH is analysed in order; a folder is walked recursively,\n"
    "its entries in byte order. Every file gets a headline; every file or member\n"
    "with at least one accepted update gets a block with one line per update,\n"
    "ordered by processor signature and platform flags.\n"
    "\n"
    "options:\n"
    "  --crlf     write the report's own CR LF line endings (default: LF)\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --         treat every later argument as a PATH\n"
    "\n"
    "exit status:\n"
    "  0  every PATH was analysed (whether or not updates were found)\n"
    "  1  a file operation was refused; the report up to it is on standard output\n"
    "     and the error on standard error\n"
    "  2  usage error\n";

// Writes the report to standard output as it grows, with LF line endings
// unless the raw CR LF bytes were asked for.
class StdoutReport final : public veskari::ReportSink {
public:
    explicit StdoutReport(bool crlf) : crlf_(crlf) {}

    [[nodiscard]] bool IsEmpty() const override { return empty_; }

    void AppendReport(const std::string& text) override
    {
        if (text.empty()) {
            return;
        }
        empty_ = false;
        if (crlf_) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return;
        }
        std::string converted;
        converted.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                continue;
            }
            converted.push_back(text[i]);
        }
        std::fwrite(converted.data(), 1, converted.size(), stdout);
    }

private:
    bool crlf_;
    bool empty_ = true;
};

int UsageError(const char* problem, std::string_view argument)
{
    std::fprintf(stderr, "veskari-scan: %s '%.*s'\n%s", problem, static_cast<int>(argument.size()),
                 argument.data(), kUsage);
    return kExitUsage;
}

int Fail(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "veskari-scan: %s\n", text.c_str());
    return kExitFailure;
}

}  // namespace

int main(int argc, char** argv)
{
    bool crlf = false;
    bool optionsEnded = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "--crlf") {
                crlf = true;
            } else if (argument == "--help" || argument == "-h") {
                std::fputs(kHelp, stdout);
                return kExitOk;
            } else if (argument == "--version") {
                std::printf("veskari-scan %s\n", veskari::kVersionText);
                return kExitOk;
            } else {
                return UsageError("unknown option", argument);
            }
            continue;
        }
        paths.emplace_back(argument);
    }
    if (paths.empty()) {
        std::fputs("veskari-scan: no PATH given\n", stderr);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    const veskari::Language language = veskari::LanguageFromEnvironment();
    StdoutReport report(crlf);
    try {
        veskari::Analyzer analyzer(report);
        for (const std::string& path : paths) {
            analyzer.AnalyzePath(path, path);
        }
    } catch (const veskari::FileError& failure) {
        return Fail(failure.Text(language));
    } catch (const std::bad_alloc&) {
        return Fail(veskari::OutOfMemoryText(language));
    } catch (const std::exception&) {
        return Fail(veskari::InternalErrorText(language));
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "veskari-scan: cannot write the report: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return kExitOk;
}
