#pragma once

// Runs the window's commands off its thread, through the run engine that the
// command line uses too, and hands the output to the window's thread.

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/run_engine.h"
#include "platform/windows/windows_api.h"

namespace veskari::win {

/// What a running command has delivered and the window not yet taken, in
/// run order.
struct Delivery {
    std::string report;             ///< report text, exactly the report's bytes
    std::vector<Problem> problems;  ///< what could not be analysed
};

/// How a command ended.
struct CommandEnd {
    RunSummary summary;
    std::wstring errorText;  ///< empty unless an error ended it
    bool outOfMemory = false;
};

/// One command at a time on a thread of its own. The thread never waits for
/// the window: it posts `outputMessage` when there is output to take (once
/// until it has been taken) and `finishedMessage` when the command has
/// ended, after its last output.
class CommandRunner final : private RunClient {
public:
    CommandRunner(HWND window, UINT outputMessage, UINT finishedMessage, Language language);
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    /// Analyses `paths` (UTF-8) in order; `reportEmpty` tells whether the
    /// report was empty when the command began. One command at a time.
    void Start(std::vector<std::string> paths, bool reportEmpty);
    /// Ends the running command at its next poll; thread-safe.
    void RequestStop();
    /// After `finishedMessage`: joins the thread and says how it ended.
    [[nodiscard]] CommandEnd Finish();
    /// Stops the running command, if any, and waits for its thread.
    void Shutdown();

    /// The output delivered since the last call.
    [[nodiscard]] Delivery TakeOutput();
    /// How far the running command has come, and the top-level file it
    /// started last.
    [[nodiscard]] RunProgress Progress(std::string& currentPath);

private:
    [[nodiscard]] std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& unit) override;
    void ReportAppended(const std::string& text) override;
    void UnitFinished(UnitResult& result) override;
    void Run(std::vector<std::string> paths, bool reportEmpty);
    void Tell();

    HWND window_;
    UINT outputMessage_;
    UINT finishedMessage_;
    Language language_;
    std::thread thread_;
    CommandEnd end_;  // written by the thread before it posts finishedMessage_

    std::mutex mutex_;
    RunEngine* engine_ = nullptr;  // guarded by mutex_
    bool stopRequested_ = false;   // guarded by mutex_
    std::string current_;          // guarded by mutex_
    Delivery output_;              // guarded by mutex_
    bool told_ = false;            // guarded by mutex_: outputMessage_ not yet answered
};

}  // namespace veskari::win
