// veskari-scan: the report of the desktop window on standard output, and
// what scripts need beyond it (JSON, diagnostics, extraction, parallel jobs).

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "analysis/reference_loader.h"
#include "analysis/run_engine.h"
#include "output/extraction.h"
#include "messages.h"
#include "options.h"
#include "platform/console.h"
#include "platform/folder.h"
#include "platform/memory.h"
#include "platform/processors.h"
#include "platform/visible_text.h"
#include "scan_run.h"

namespace {

using namespace veskari;
using namespace veskari::cli;

// Flushes standard output; a write that failed (a full disk, a closed
// output) is told and fails the run, as coreutils do.
int FinishOutput(int status, Language language)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "veskari-scan: %s\n", WriteErrorText(errno, language).c_str());
        return kExitFailure;
    }
    return status;
}

// The reference that standings are judged against: the public releases,
// and on top of them (or alone) each --reference. A reference that cannot be
// read whole, or holds no update, ends the program before any analysis: a
// verdict against part of what the user named would mislead.
std::optional<ReleaseReference> LoadReference(const Options& options, unsigned jobs, Language language)
{
    ReleaseReference reference = options.referenceOnly ? ReleaseReference() : ReleaseReference::Public();
    for (const std::string& path : options.references) {
        const ReferenceLoad load = AddReference(reference, path, jobs);
        for (const Problem& problem : load.problems) {
            std::fprintf(stderr, "veskari-scan: --reference: %s\n", problem.Text(language).c_str());
        }
        if (load.failure) {
            std::fprintf(stderr, "veskari-scan: --reference: %s\n", load.failure->Text(language).c_str());
        } else if (load.updates == 0 && load.problems.empty()) {
            std::fprintf(stderr, "veskari-scan: %s\n",
                         MessageText(Message::referenceHoldsNoUpdate, language, VisibleText(path)).c_str());
        }
        if (load.failure || load.updates == 0 || !load.problems.empty()) {
            return std::nullopt;
        }
    }
    return reference;
}

// Whether `path` names something that exists and is not a folder (a link
// is followed): the extraction folder then cannot be made there.
bool IsNotAFolder(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    const std::filesystem::file_status status = std::filesystem::status(name, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

int Scan(const Options& options, Language language)
{
    const unsigned jobs = options.jobs != 0 ? options.jobs : UsableProcessorCount();
    const std::optional<ReleaseReference> reference = LoadReference(options, jobs, language);
    if (!reference) {
        return kExitUsage;
    }
    std::optional<output::ExtractionFolder> extraction;
    if (!options.extractDir.empty()) {
        bool isLink = false;
        try {
            extraction.emplace(options.extractDir, isLink);
        } catch (const FileError& error) {
            const std::string shown = VisibleText(options.extractDir);
            if (isLink) {
                std::fprintf(stderr, "veskari-scan: %s\n",
                             MessageText(Message::extractFolderIsLink, language, shown).c_str());
            } else if (IsNotAFolder(options.extractDir)) {
                std::fprintf(stderr, "veskari-scan: %s\n",
                             MessageText(Message::extractFolderNotFolder, language, shown).c_str());
            } else {
                std::fprintf(stderr, "veskari-scan: %s\n", error.Text(language).c_str());
            }
            return kExitFailure;
        }
    }
    ScanRun output(options, language, extraction ? &*extraction : nullptr, *reference);
    RunSettings settings;
    settings.jobs = jobs;
    settings.formats = options.allFormats ? MicrocodeFormats::all : MicrocodeFormats::classic;
    if (extraction) {
        // The run never reads what it writes, wherever the folder lies.
        if (const auto status = QueryPathStatus(options.extractDir)) {
            settings.outputFolders.insert(FolderId{status->device, status->inode});
        }
    }
    RunEngine engine(settings, output);
    output.SetStopRun([&engine] { engine.RequestStop(); });
    output.Begin();
    const RunSummary summary = engine.Run(options.paths);
    return output.End(summary);
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();
    const Language language = LanguageFromEnvironment();
    try {
        std::vector<std::string> arguments = ProgramArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) {
            pointers.push_back(argument.data());
        }
        pointers.push_back(nullptr);
        const ParseResult parsed = ParseOptions(static_cast<int>(arguments.size()), pointers.data(), language);
        if (!parsed.options) {
            std::fputs(parsed.text.c_str(), stdout);
            return FinishOutput(parsed.exitStatus, language);
        }
        KeepFreedMemoryForReuse();
        // The run checks its own writes to standard output and tells the first that fails.
        return Scan(*parsed.options, language);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "veskari-scan: %s\n", OutOfMemoryText(language).c_str());
    } catch (const std::exception&) {
        std::fprintf(stderr, "veskari-scan: %s\n", InternalErrorText(language).c_str());
    }
    return FinishOutput(kExitFailure, language);
}
