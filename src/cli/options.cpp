#include "options.h"

#include <charconv>
#include <string_view>

#include "veskari/version.h"

namespace veskari::cli {
namespace {

constexpr int kExitUsage = 2;

constexpr const char* kUsage = "usage: veskari-scan [OPTION]... PATH...\n";

constexpr const char* kHelp =
    "usage: veskari-scan [OPTION]... PATH...\n"
    "\n"
    "Lists the processor microcode updates (48-byte headers of family-6\n"
    "processors) that BIOS images, microcode files and the LZH members inside\n"
    "them carry. Each PATH is analysed in order; a folder is walked recursively,\n"
    "its entries in byte order. Every file gets a headline; every file or member\n"
    "with at least one accepted update gets a block with one line per update,\n"
    "ordered by processor signature and platform flags.\n"
    "\n"
    "Options:\n"
    "  --crlf               write the report's own CR LF line endings (default: LF)\n"
    "  --json               write one JSON document instead of the report: every\n"
    "                       file, member and update with all its fields\n"
    "  --verbose            also tell, on standard error, every candidate that was\n"
    "                       rejected and why, every member and what became of it,\n"
    "                       and whether each update's checksum is valid\n"
    "  --extract DIR        write each accepted update's 2048 bytes into DIR\n"
    "  --extract-members    with --extract, also write each decoded member\n"
    "  --jobs N, -j N       analyse up to N top-level files at once (default: the\n"
    "                       number of cores); the output is the same as with 1\n"
    "  --help               show this help and exit\n"
    "  --version            show the version and exit\n"
    "  --                   treat every later argument as a PATH\n"
    "\n"
    "Exit status:\n"
    "  0  every PATH was analysed (whether or not updates were found)\n"
    "  1  a file operation was refused; the report up to it is on standard output\n"
    "     and the reason on standard error\n"
    "  2  usage error\n"
    "\n"
    "Members are decoded into private temporary files in $TMPDIR (else /tmp) that\n"
    "are deleted at once; members announcing more than 256 MiB are passed over.\n";

ParseResult Usage(const std::string& problem)
{
    ParseResult result;
    result.text = "veskari-scan: " + problem + "\n" + kUsage + "Try 'veskari-scan --help' for more.\n";
    result.toStderr = true;
    result.exitStatus = kExitUsage;
    return result;
}

}  // namespace

ParseResult ParseOptions(int argc, char** argv)
{
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.paths.emplace_back(argument);
            continue;
        }
        // Options that take a value accept it as the next word or after '='.
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto takeValue = [&]() -> std::optional<std::string_view> {
            if (value) {
                return value;
            }
            if (i + 1 < argc) {
                return std::string_view(argv[++i]);
            }
            return std::nullopt;
        };
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "--help" || name == "-h") {
            return ParseResult{std::nullopt, kHelp, false, 0};
        } else if (name == "--version") {
            return ParseResult{std::nullopt, std::string("veskari-scan ") + kVersionText + "\n", false, 0};
        } else if (name == "--crlf") {
            options.crlf = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--verbose" || name == "-v") {
            options.verbose = true;
        } else if (name == "--extract-members") {
            options.extractMembers = true;
        } else if (name == "--extract") {
            const auto dir = takeValue();
            if (!dir || dir->empty()) {
                return Usage("--extract needs a folder");
            }
            options.extractDir = std::string(*dir);
        } else if (name == "--jobs" || name == "-j") {
            const auto text = takeValue();
            unsigned jobs = 0;
            if (!text || std::from_chars(text->data(), text->data() + text->size(), jobs).ec != std::errc() ||
                jobs == 0 || jobs > 1024) {
                return Usage("--jobs needs a number from 1 to 1024");
            }
            options.jobs = jobs;
        } else {
            return Usage("unknown option '" + std::string(argument) + "'");
        }
    }
    if (options.paths.empty()) {
        return Usage("no PATH given");
    }
    if (options.extractMembers && options.extractDir.empty()) {
        return Usage("--extract-members needs --extract DIR");
    }
    if (options.json && options.crlf) {
        return Usage("--json and --crlf do not go together");
    }
    ParseResult result;
    result.options = std::move(options);
    return result;
}

}  // namespace veskari::cli
