#include "command_runner.h"

#include <new>

#include "platform/processors.h"

namespace veskari::win {

using windows::WideFromUtf8;

CommandRunner::CommandRunner(HWND window, UINT outputMessage, UINT finishedMessage, Language language)
    : window_(window), outputMessage_(outputMessage), finishedMessage_(finishedMessage), language_(language)
{
}

CommandRunner::~CommandRunner()
{
    Shutdown();
}

void CommandRunner::Start(std::vector<std::string> paths, bool reportEmpty)
{
    {
        const std::lock_guard lock(mutex_);
        stopRequested_ = false;
        current_.clear();
    }
    thread_ = std::thread(&CommandRunner::Run, this, std::move(paths), reportEmpty);
}

void CommandRunner::Run(std::vector<std::string> paths, bool reportEmpty)
{
    CommandEnd end;
    try {
        RunSettings settings;
        settings.jobs = UsableProcessorCount();
        settings.reportEmpty = reportEmpty;
        RunEngine engine(settings, *this);
        {
            const std::lock_guard lock(mutex_);
            engine_ = &engine;
            if (stopRequested_) {
                engine.RequestStop();
            }
        }
        try {
            end.summary = engine.Run(paths);
        } catch (...) {
            const std::lock_guard lock(mutex_);
            engine_ = nullptr;
            throw;
        }
        const std::lock_guard lock(mutex_);
        engine_ = nullptr;
        if (end.summary.failure) {
            end.errorText = WideFromUtf8(end.summary.failure->Text(language_));
            end.outOfMemory = end.summary.failure->kind == RunFailure::Kind::outOfMemory;
        }
    } catch (const std::bad_alloc&) {
        end.summary.failure = RunFailure{RunFailure::Kind::outOfMemory, std::nullopt};
        end.errorText = WideFromUtf8(OutOfMemoryText(language_));
        end.outOfMemory = true;
    } catch (...) {
        end.summary.failure = RunFailure{RunFailure::Kind::internal, std::nullopt};
        end.errorText = WideFromUtf8(InternalErrorText(language_));
    }
    end_ = std::move(end);
    ::PostMessageW(window_, finishedMessage_, 0, 0);
}

std::unique_ptr<UnitObserver> CommandRunner::UnitStarted(const RunUnit& unit)
{
    const std::lock_guard lock(mutex_);
    current_ = unit.path;
    return nullptr;
}

void CommandRunner::ReportAppended(const std::string& text)
{
    {
        const std::lock_guard lock(mutex_);
        output_.report += text;
    }
    Tell();
}

void CommandRunner::UnitFinished(UnitResult& result)
{
    if (result.problems.empty()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        output_.problems.insert(output_.problems.end(), result.problems.begin(), result.problems.end());
    }
    Tell();
}

void CommandRunner::Tell()
{
    {
        const std::lock_guard lock(mutex_);
        if (told_) {
            return;
        }
        told_ = true;
    }
    ::PostMessageW(window_, outputMessage_, 0, 0);
}

Delivery CommandRunner::TakeOutput()
{
    const std::lock_guard lock(mutex_);
    told_ = false;
    return std::exchange(output_, Delivery{});
}

RunProgress CommandRunner::Progress(std::string& currentPath)
{
    const std::lock_guard lock(mutex_);
    currentPath = current_;
    return engine_ != nullptr ? engine_->Progress() : RunProgress{};
}

void CommandRunner::RequestStop()
{
    const std::lock_guard lock(mutex_);
    stopRequested_ = true;
    if (engine_ != nullptr) {
        engine_->RequestStop();
    }
}

CommandEnd CommandRunner::Finish()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    return std::exchange(end_, CommandEnd{});
}

void CommandRunner::Shutdown()
{
    RequestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace veskari::win
