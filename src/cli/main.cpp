// veskari-scan: the report of the desktop window on standard output, and
// what scripts need beyond it (JSON, diagnostics, extraction, parallel jobs).

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "analysis/analyze_path.h"
#include "options.h"
#include "platform/file_error.h"
#include "platform/folder.h"
#include "platform/memory.h"
#include "recorders.h"
#include "terminal.h"
#include "veskari/version.h"

namespace {

using namespace veskari;
using namespace veskari::cli;

// Exit statuses, documented in docs/cli.md.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

// One top-level file to analyse: its path and the argument it came from.
struct Unit {
    std::size_t argument = 0;
    std::string path;
};

// What the analysis of one unit produced, kept until it is its turn to be written.
struct Outcome {
    std::string report;
    std::string verbose;
    nlohmann::ordered_json file;
    std::optional<std::string> error;  // the text of the error that ended it
    nlohmann::ordered_json errorJson;
    bool done = false;
};

// The report of one unit, kept in memory; empty at the start only for the
// first unit of the run, as one report over the whole run would be.
class UnitReport final : public ReportSink {
public:
    explicit UnitReport(bool first) : empty_(first) {}
    [[nodiscard]] bool IsEmpty() const override { return empty_ && text_.empty(); }
    void AppendReport(const std::string& text) override { text_ += text; }
    std::string text_;

private:
    bool empty_;
};

const char* CauseName(FileErrorCause cause)
{
    static constexpr const char* kNames[] = {"none", "generic", "fileNotFound", "badPath", "tooManyOpenFiles",
                                             "accessDenied", "invalidFile", "removeCurrentDir", "directoryFull",
                                             "badSeek", "hardIO", "sharingViolation", "lockViolation", "diskFull",
                                             "endOfFile"};
    return kNames[static_cast<int>(cause)];
}

class Run {
public:
    Run(const Options& options, Language language) : options_(options), language_(language) {}

    int Execute()
    {
        if (!OpenExtractionFolder()) {
            return kExitFailure;
        }
        for (std::size_t i = 0; i < options_.paths.size(); ++i) {
            const std::string& path = options_.paths[i];
            const auto status = QueryPathStatus(path);
            if (status && status->isDirectory) {
                WalkFolder(path, [&](const std::string& entry) {
                    units_.push_back(Unit{i, entry});
                    return true;
                });
            } else {
                units_.push_back(Unit{i, path});
            }
        }
        outcomes_.resize(units_.size());

        unsigned jobs = options_.jobs != 0 ? options_.jobs : std::max(1U, std::thread::hardware_concurrency());
        jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, units_.size()));
        // With several jobs, that many workers analyse while this thread writes.
        std::vector<std::thread> workers;
        for (unsigned j = 0; jobs > 1 && j < jobs; ++j) {
            workers.emplace_back([this] { Work(); });
        }
        if (jobs <= 1) {
            // One job: analyse and write each unit in turn, on this thread.
            for (std::size_t i = 0; i < units_.size() && !failed_; ++i) {
                Analyse(i);
                Write(i);
            }
        } else {
            for (std::size_t i = 0; i < units_.size() && !failed_; ++i) {
                {
                    std::unique_lock lock(mutex_);
                    finished_.wait(lock, [&] { return outcomes_[i].done; });
                }
                Write(i);
            }
        }
        {
            std::lock_guard lock(mutex_);
            stopAfter_ = std::min(stopAfter_, written_);
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        if (options_.json) {
            WriteJson();
        }
        if (extractionFolder_ >= 0) {
            ::close(extractionFolder_);
        }
        return failed_ ? kExitFailure : kExitOk;
    }

private:
    bool OpenExtractionFolder()
    {
        if (options_.extractDir.empty()) {
            return true;
        }
        ::mkdir(options_.extractDir.c_str(), 0755);
        extractionFolder_ = ::open(options_.extractDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (extractionFolder_ < 0) {
            const FileError error = FileError::FromErrno(FileOperation::open, errno, options_.extractDir);
            std::fprintf(stderr, "veskari-scan: %s\n", ForStderr(error.Text(language_)).c_str());
            return false;
        }
        return true;
    }

    // Workers take the next unit until none is left or a unit before it failed.
    void Work()
    {
        for (;;) {
            const std::size_t i = next_.fetch_add(1);
            if (i >= units_.size()) {
                return;
            }
            Analyse(i);
        }
    }

    bool Cancelled(std::size_t i)
    {
        std::lock_guard lock(mutex_);
        return i > stopAfter_;
    }

    void Analyse(std::size_t i)
    {
        Outcome outcome;
        if (!Cancelled(i)) {
            UnitReport report(i == 0);
            std::optional<JsonRecorder> json;
            std::optional<VerboseRecorder> verbose;
            std::optional<Extractor> extractor;
            std::vector<AnalysisObserver*> observers;
            if (options_.json) {
                observers.push_back(&json.emplace(options_.verbose));
            }
            if (options_.verbose) {
                observers.push_back(&verbose.emplace());
            }
            if (extractionFolder_ >= 0) {
                observers.push_back(&extractor.emplace(extractionFolder_, options_.extractDir, options_.extractMembers));
            }
            ObserverChain chain(std::move(observers), [this, i] { return Cancelled(i); });
            try {
                Analyzer analyzer(report, &chain);
                analyzer.AnalyzePath(units_[i].path, units_[i].path);
            } catch (const FileError& failure) {
                outcome.error = failure.Text(language_);
                outcome.errorJson = {{"cause", CauseName(failure.Cause())},
                                     {"file", failure.FileName()},
                                     {"message", *outcome.error}};
            } catch (const std::bad_alloc&) {
                outcome.error = OutOfMemoryText(language_);
                outcome.errorJson = {{"cause", "outOfMemory"}, {"message", *outcome.error}};
            } catch (const std::exception&) {
                outcome.error = InternalErrorText(language_);
                outcome.errorJson = {{"cause", "internal"}, {"message", *outcome.error}};
            }
            outcome.report = std::move(report.text_);
            if (verbose) {
                outcome.verbose = verbose->Text();
            }
            if (json) {
                outcome.file = json->Take();
            }
        }
        std::lock_guard lock(mutex_);
        if (outcome.error) {
            stopAfter_ = std::min(stopAfter_, i);
        }
        outcome.done = true;
        outcomes_[i] = std::move(outcome);
        finished_.notify_all();
    }

    // Writes the unit's share of the output, in the order of a run with one job.
    void Write(std::size_t i)
    {
        Outcome outcome;
        {
            std::lock_guard lock(mutex_);
            outcome = std::move(outcomes_[i]);
            written_ = i;
        }
        if (!options_.json) {
            WriteReport(outcome.report);
        } else if (!outcome.file.is_null()) {
            if (files_.size() <= units_[i].argument) {
                files_.resize(units_[i].argument + 1, nlohmann::ordered_json::array());
            }
            files_[units_[i].argument].push_back(std::move(outcome.file));
        }
        if (!outcome.verbose.empty()) {
            std::fflush(stdout);
            std::fputs(ForStderr(outcome.verbose).c_str(), stderr);
        }
        if (outcome.error) {
            failed_ = true;
            errorJson_ = std::move(outcome.errorJson);
            if (!options_.json) {
                std::fflush(stdout);
                std::fprintf(stderr, "veskari-scan: %s\n", ForStderr(*outcome.error).c_str());
            }
        }
    }

    void WriteReport(const std::string& text)
    {
        if (options_.crlf) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            return;
        }
        std::string lf;
        lf.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
                lf += text[i];
            }
        }
        if (stdoutIsTerminal_) {
            lf = ForTerminal(lf);
        }
        std::fwrite(lf.data(), 1, lf.size(), stdout);
    }

    void WriteJson()
    {
        nlohmann::ordered_json paths = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < options_.paths.size(); ++i) {
            paths.push_back({{"path", options_.paths[i]},
                             {"files", i < files_.size() ? files_[i] : nlohmann::ordered_json::array()}});
        }
        const nlohmann::ordered_json document{{"tool", "veskari-scan"}, {"version", kVersionText}, {"schema", 1},
                                      {"paths", std::move(paths)}, {"error", errorJson_}};
        // Names that are not valid UTF-8 get U+FFFD; control characters are escaped.
        const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (failed_) {
            std::fflush(stdout);
            std::fprintf(stderr, "veskari-scan: %s\n", ForStderr(errorJson_.value("message", "")).c_str());
        }
    }

    std::string ForStderr(const std::string& text) const
    {
        return stderrIsTerminal_ ? ForTerminal(text) : text;
    }

    const Options& options_;
    Language language_;
    bool stdoutIsTerminal_ = ::isatty(STDOUT_FILENO) != 0;
    bool stderrIsTerminal_ = ::isatty(STDERR_FILENO) != 0;
    int extractionFolder_ = -1;
    std::vector<Unit> units_;
    std::vector<Outcome> outcomes_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::size_t stopAfter_ = SIZE_MAX;  // units after this one are not analysed
    std::size_t written_ = 0;
    bool failed_ = false;
    std::vector<nlohmann::ordered_json> files_;  // per argument
    nlohmann::ordered_json errorJson_;
};

}  // namespace

int main(int argc, char** argv)
{
    const ParseResult parsed = ParseOptions(argc, argv);
    if (!parsed.options) {
        std::fputs(parsed.text.c_str(), parsed.toStderr ? stderr : stdout);
        return parsed.exitStatus;
    }
    KeepFreedMemoryForReuse();
    Run run(*parsed.options, LanguageFromEnvironment());
    const int status = run.Execute();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "veskari-scan: cannot write the report: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}
