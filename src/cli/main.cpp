// veskari-scan: the report of the desktop window on standard output, and
// what scripts need beyond it (JSON, diagnostics, extraction, parallel jobs).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "analysis/run_engine.h"
#include "extraction.h"
#include "options.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "platform/processors.h"
#include "platform/visible_text.h"
#include "scan_run.h"

namespace {

using namespace veskari;
using namespace veskari::cli;

// Flushes standard output; a write that failed (a full disk, a closed
// output) is told and fails the run, as coreutils do.
int FinishOutput(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "veskari-scan: write error: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}

int Scan(const Options& options, Language language)
{
    std::optional<ExtractionFolder> extraction;
    if (!options.extractDir.empty()) {
        bool isLink = false;
        try {
            extraction.emplace(options.extractDir, isLink);
        } catch (const FileError& error) {
            if (isLink) {
                std::fprintf(stderr,
                             "veskari-scan: %s is a symbolic link; give '%s/' to extract into the folder it "
                             "points to\n",
                             VisibleText(options.extractDir).c_str(), VisibleText(options.extractDir).c_str());
            } else {
                std::fprintf(stderr, "veskari-scan: %s\n", error.Text(language).c_str());
            }
            return kExitFailure;
        }
    }
    ScanRun output(options, language, extraction ? &*extraction : nullptr);
    RunSettings settings;
    settings.jobs = options.jobs != 0 ? options.jobs : UsableProcessorCount();
    settings.formats = options.allFormats ? MicrocodeFormats::all : MicrocodeFormats::classic;
    RunEngine engine(settings, output);
    output.Begin();
    const RunSummary summary = engine.Run(options.paths);
    return output.End(summary);
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();
    try {
        std::vector<std::string> arguments = ProgramArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) {
            pointers.push_back(argument.data());
        }
        pointers.push_back(nullptr);
        const ParseResult parsed = ParseOptions(static_cast<int>(arguments.size()), pointers.data());
        if (!parsed.options) {
            std::fputs(parsed.text.c_str(), stdout);
            return FinishOutput(parsed.exitStatus);
        }
        KeepFreedMemoryForReuse();
        return FinishOutput(Scan(*parsed.options, LanguageFromEnvironment()));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "veskari-scan: %s\n", OutOfMemoryText(LanguageFromEnvironment()).c_str());
    } catch (const std::exception&) {
        std::fprintf(stderr, "veskari-scan: %s\n", InternalErrorText(LanguageFromEnvironment()).c_str());
    }
    return FinishOutput(kExitFailure);
}
