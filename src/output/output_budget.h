#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "analysis/problem.h"

namespace veskari::output {

/// The bytes of detail that one top-level file may add to the outputs that
/// hold it whole until it finishes (JSON, JSON Lines, CSV rows, --verbose
/// lines). Members may repeat themselves, so their objects and lines, each naming
/// the whole chain of members, can outgrow the file a millionfold while the
/// analysis stays within its own bounds; this bound keeps the text, and the
/// memory that holds it, to a fixed size. Once a piece does not fit, it and
/// every later piece of the file are left out, and the file is told once.
class OutputBudget {
public:
    static constexpr std::uint64_t kPerFile = std::uint64_t{32} << 20;

    explicit OutputBudget(std::uint64_t limit = kPerFile) noexcept : left_(limit), limit_(limit) {}

    /// Takes `bytes` for one piece of output; false, for this and every
    /// later piece, once they do not fit.
    [[nodiscard]] bool Take(std::size_t bytes) noexcept
    {
        if (reached_ || bytes > left_) {
            reached_ = true;
            return false;
        }
        left_ -= bytes;
        return true;
    }

    [[nodiscard]] bool Reached() const noexcept { return reached_; }

    /// The problem that tells the top-level file `where` was cut.
    [[nodiscard]] Problem LimitProblem(const std::string& where) const
    {
        return Problem{ProblemKind::outputLimit, where, 0, limit_};
    }

private:
    std::uint64_t left_;
    std::uint64_t limit_;
    bool reached_ = false;
};

}  // namespace veskari::output
