#include "options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <string_view>
#include <vector>

#include "messages.h"
#include "veskari/version.h"

namespace veskari::cli {
namespace {

constexpr const char* kProgram = "veskari-scan";

constexpr const char* kHelp =
    "Usage: veskari-scan [OPTION]... PATH...\n"
    "\n"
    "Lists the processor microcode updates that BIOS images, microcode files and\n"
    "the LZH members inside them carry: the 48-byte update headers of family-6\n"
    "processors of the classic layout, and with --all-formats every later one\n"
    "too. Each PATH is analysed in order; a folder is walked recursively,\n"
    "its entries in byte order; a PATH of - reads standard input. Every file gets\n"
    "a headline; every file or member with at least one accepted update gets a\n"
    "block with one line per update, ordered by processor signature and platform\n"
    "flags.\n"
    "\n"
    "Options:\n"
    "  --crlf               write the report's own CR LF line endings (default: LF)\n"
    "                       (--crlf, --json, --json-lines and --csv exclude each\n"
    "                       other)\n"
    "  --json               write one JSON document instead of the report: every\n"
    "                       file, member and update with all its fields\n"
    "      --json-lines     write one JSON object per line instead: each top-level\n"
    "                       file's as soon as it is complete\n"
    "      --csv            write one CSV row per update instead (RFC 4180), with\n"
    "                       a header row\n"
    "      --all-formats    also list the updates of the later published layout\n"
    "                       (any family, sizes, extended signatures, checksums\n"
    "                       that add up), named from a table of processors;\n"
    "                       without it, a note on standard error counts them\n"
    "  -v, --verbose        also tell, on standard error, every candidate that was\n"
    "                       rejected and why, every member and what became of it,\n"
    "                       and whether each update's checksum is valid\n"
    "      --standing       after each file's report, a block with one line per\n"
    "                       processor and platform that it carries updates for:\n"
    "                       the highest revision found and its standing against\n"
    "                       the public releases (newest, older, newer than any\n"
    "                       published, not covered); JSON and CSV always carry it\n"
    "      --reference PATH  judge standings also against the updates found in\n"
    "                       PATH, a file or folder (an unpacked newer release,\n"
    "                       the system's installed microcode); may be repeated\n"
    "      --reference-only  judge against the --reference PATHs alone, not the\n"
    "                       public releases bundled with the program\n"
    "      --extract DIR    write each accepted update into DIR (2048 bytes each,\n"
    "                       or its whole size with --all-formats)\n"
    "      --extract-members  with --extract, also write each decoded member\n"
    "  -j, --jobs N         analyse up to N top-level files at once (default: one\n"
    "                       per usable processor, fewer when few files may be\n"
    "                       open); the output is the same as with 1\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "Names are shown as they are, except that bytes which are not printable UTF-8\n"
    "(control characters, bidirectional controls, invalid bytes) are written as\n"
    "\\xHH. In --csv, a cell that starts with = + - @ TAB or CR gets a leading '.\n"
    "\n"
    "A standing compares revisions, never dates. An update is covered by the\n"
    "published updates of its signature whose platform mask shares a bit with\n"
    "its platform flags; flags 0, found in the oldest headers, match only\n"
    "updates published with mask 0.\n"
    "\n"
    "Exit status:\n"
    "  0  every PATH was analysed (whether or not updates were found)\n"
    "  1  a file operation was refused or memory ran out; the report up to it is\n"
    "     on standard output and the reason on standard error\n"
    "  2  usage error, or a --reference PATH that could not be read whole or holds\n"
    "     no update (nothing is analysed then)\n"
    "  3  the report is incomplete: something could not be read (a missing or\n"
    "     unreadable path, a folder that cannot be listed, a member whose data is\n"
    "     damaged or that could not be decoded for lack of files or beyond a limit,\n"
    "     later-format candidates left unchecked); each cause is told on standard\n"
    "     error, and everything else was analysed\n"
#if !defined(_WIN32)
    "  128+n  ended by signal n (Ctrl-C gives 130, a closed pipe 141); no member\n"
    "     file is left behind\n"
#endif
    "\n"
    "Environment:\n"
#if defined(_WIN32)
    "  TMP, TEMP    where decoded members above 16 MiB are kept while they are\n"
    "               analysed (files that nobody else can open, deleted when\n"
    "               closed)\n"
    "  LANG         messages are Japanese when LC_ALL, LC_MESSAGES or LANG (the\n"
    "               first of them that is set) starts with \"ja\", or when none\n"
    "               is set and the language of Windows is Japanese\n";
#else
    "  TMPDIR       where decoded members above 16 MiB, and standard input and\n"
    "               pipes (up to 1 GiB), are kept while they are analysed (files\n"
    "               without a name, gone when the program ends)\n"
    "  LANG         messages are Japanese when LC_ALL, LC_MESSAGES or LANG (the\n"
    "               first of them that is set) starts with \"ja\"\n";
#endif

enum LongOnly : int {
    kCrlf = 256,
    kJson,
    kJsonLines,
    kCsv,
    kExtract,
    kExtractMembers,
    kVersion,
    kAllFormats,
    kStanding,
    kReference,
    kReferenceOnly,
};

constexpr option kLongOptions[] = {
    {"crlf", no_argument, nullptr, kCrlf},
    {"json", no_argument, nullptr, kJson},
    {"json-lines", no_argument, nullptr, kJsonLines},
    {"csv", no_argument, nullptr, kCsv},
    {"verbose", no_argument, nullptr, 'v'},
    {"all-formats", no_argument, nullptr, kAllFormats},
    {"standing", no_argument, nullptr, kStanding},
    {"reference", required_argument, nullptr, kReference},
    {"reference-only", no_argument, nullptr, kReferenceOnly},
    {"extract", required_argument, nullptr, kExtract},
    {"extract-members", no_argument, nullptr, kExtractMembers},
    {"jobs", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

constexpr const char* kShortOptions = "hvj:";

// What is wrong with an option that getopt refused, in the words of GNU
// getopt (in English), so that every system's build says the same. `element`
// is the argument that getopt took last, `optionValue` getopt's optopt: the
// character of a short option, the value of a long option, or 0.
std::string Refusal(std::string_view element, int optionValue, Language language)
{
    const auto text = [language](Message message, std::string_view first, std::string_view second = {}) {
        return MessageText(message, language, first, second);
    };
    const bool shortValue = optionValue > 0 && optionValue < 256;
    if (element.starts_with("--") && element.size() > 2) {
        const std::string_view given = element.substr(2, element.find('=') - 2);
        std::vector<const option*> matches;
        for (const option& candidate : kLongOptions) {
            if (candidate.name == nullptr) {
                break;
            }
            if (given == candidate.name) {
                matches = {&candidate};
                break;
            }
            if (std::string_view(candidate.name).starts_with(given)) {
                matches.push_back(&candidate);
            }
        }
        // A short option's error after a long option leaves that in `element`.
        const bool isLong = !shortValue || (matches.size() == 1 && matches[0]->val == optionValue);
        if (isLong && matches.empty()) {
            return text(Message::unrecognizedOption, element);
        }
        if (isLong && matches.size() > 1) {
            std::string possibilities;
            for (const option* match : matches) {
                possibilities += " '--" + std::string(match->name) + "'";
            }
            return text(Message::ambiguousOption, element, possibilities);
        }
        if (isLong) {
            const std::string_view name = matches[0]->name;
            return element.find('=') != std::string_view::npos && matches[0]->has_arg == no_argument
                       ? text(Message::optionTakesNoArgument, name)
                       : text(Message::optionNeedsArgument, name);
        }
    }
    if (!shortValue) {
        return text(Message::unrecognizedOption, element);
    }
    const std::string character(1, static_cast<char>(optionValue));
    const char* known = std::strchr(kShortOptions, optionValue);
    return known != nullptr && known[1] == ':' ? text(Message::shortOptionNeedsArgument, character)
                                               : text(Message::invalidShortOption, character);
}

ParseResult Usage(const std::string& problem, Language language)
{
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    }
    std::fprintf(stderr, "%s\n", MessageText(Message::tryHelp, language).c_str());
    ParseResult result;
    result.exitStatus = kExitUsage;
    return result;
}

}  // namespace

ParseResult ParseOptions(int argc, char** argv, Language language)
{
    const auto usage = [language](Message message, std::string_view given = {}) {
        return Usage(MessageText(message, language, given), language);
    };
    // getopt names the program by argv[0] in its messages.
    std::vector<char*> arguments(argv, argv + argc);
    std::string program = kProgram;
    arguments.at(0) = program.data();
    arguments.push_back(nullptr);

    Options options;
    optind = 0;  // a full new scan (glibc, and the BSD getopt of MinGW), also when called again
    opterr = 0;  // Refusal says what is wrong
    for (;;) {
        const int option = ::getopt_long(argc, arguments.data(), kShortOptions, kLongOptions, nullptr);
        if (option == -1) {
            break;
        }
        switch (option) {
        case kCrlf:
            options.crlf = true;
            break;
        case kJson:
            options.json = true;
            break;
        case kJsonLines:
            options.jsonLines = true;
            break;
        case kCsv:
            options.csv = true;
            break;
        case 'v':
            options.verbose = true;
            break;
        case kAllFormats:
            options.allFormats = true;
            break;
        case kExtract:
            if (*optarg == '\0') {
                return usage(Message::extractNeedsFolder);
            }
            options.extractDir = optarg;
            break;
        case kStanding:
            options.standing = true;
            break;
        case kReference:
            if (*optarg == '\0') {
                return usage(Message::referenceNeedsPath);
            }
            options.references.emplace_back(optarg);
            break;
        case kReferenceOnly:
            options.referenceOnly = true;
            break;
        case kExtractMembers:
            options.extractMembers = true;
            break;
        case 'j': {
            const std::string_view text = optarg;
            unsigned jobs = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
            if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > 1024) {
                return usage(Message::jobsOutOfRange, text);
            }
            options.jobs = jobs;
            break;
        }
        case 'h':
            return ParseResult{std::nullopt, kHelp, kExitOk};
        case kVersion:
            return ParseResult{std::nullopt, std::string(kProgram) + " " + kVersionText + "\n", kExitOk};
        default:
            return Usage(Refusal(arguments[static_cast<std::size_t>(std::max(optind, 1) - 1)], optopt, language),
                         language);
        }
    }
    // getopt has moved the PATHs after the options.
    for (int i = optind; i < argc; ++i) {
        options.paths.emplace_back(arguments[static_cast<std::size_t>(i)]);
    }
    if (options.paths.empty()) {
        return usage(Message::noPath);
    }
    if (options.extractMembers && options.extractDir.empty()) {
        return usage(Message::extractMembersNeedsExtract);
    }
    if (options.referenceOnly && options.references.empty()) {
        return usage(Message::referenceOnlyNeedsReference);
    }
    if (static_cast<int>(options.json) + static_cast<int>(options.jsonLines) + static_cast<int>(options.csv) +
            static_cast<int>(options.crlf) >
        1) {
        return usage(Message::formsExclusive);
    }
    ParseResult result;
    result.options = std::move(options);
    return result;
}

}  // namespace veskari::cli
