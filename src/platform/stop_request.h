#pragma once

#include <atomic>
#include <exception>

namespace veskari {

/// Thrown out of a running analysis where it notices that its run has been
/// asked to stop. It unwinds every nested level as FileError does (each
/// level closes its files on the way out); the run's owner catches it.
class AnalysisStopped : public std::exception {
public:
    [[nodiscard]] const char* what() const noexcept override { return "the analysis was stopped"; }
};

/// A request to stop that any thread may raise and the analysing threads
/// poll. A request with a parent counts as raised when its parent is: one
/// run-wide request stops every unit, a unit's own stops that unit alone.
class StopRequest {
public:
    explicit StopRequest(const StopRequest* parent = nullptr) noexcept : parent_(parent) {}
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    void Raise() noexcept { raised_.store(true, std::memory_order_relaxed); }
    void Reset() noexcept { raised_.store(false, std::memory_order_relaxed); }
    [[nodiscard]] bool Raised() const noexcept
    {
        return raised_.load(std::memory_order_relaxed) || (parent_ != nullptr && parent_->Raised());
    }

private:
    std::atomic<bool> raised_{false};
    const StopRequest* parent_;
};

/// Makes `request` the one that PollStop checks on this thread while the
/// scope lives (scopes nest; the previous one comes back at the end).
class StopScope {
public:
    explicit StopScope(const StopRequest& request) noexcept;
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const StopRequest* previous_;
};

/// Throws AnalysisStopped when this thread's stop request has been raised.
/// Cheap enough to call for every scan window and every decoded chunk, so
/// that a stop takes effect within milliseconds even inside one huge file.
void PollStop();

}  // namespace veskari
