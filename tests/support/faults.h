#pragma once

// Makes the system refuse file operations for a test, as a failing disk
// would, so that every error path runs without special privileges.

#include <functional>
#include <optional>
#include <string>

#include "platform/file.h"

namespace veskari::test {

/// Installed for its lifetime: refuses the n-th file operation (counting
/// from 1; 0 refuses every one) of a kind (any kind when not given) on the
/// files whose name `file` accepts (any file when not given).
class RefusingHook final : public FileFaultHook {
public:
    struct Rule {
        std::optional<FileOperation> operation;
        std::function<bool(const std::string& fileName)> file;
        int nth = 0;
    };

    explicit RefusingHook(Rule rule) : rule_(std::move(rule)) { SetFileFaultHook(this); }
    ~RefusingHook() { SetFileFaultHook(nullptr); }
    RefusingHook(const RefusingHook&) = delete;
    RefusingHook& operator=(const RefusingHook&) = delete;

    bool Refuse(FileOperation operation, const std::string& fileName) override
    {
        if ((rule_.operation && *rule_.operation != operation) || (rule_.file && !rule_.file(fileName))) {
            return false;
        }
        if (rule_.nth != 0 && ++seen_ != rule_.nth) {
            return false;
        }
        refused = true;
        refusedOperation = operation;
        return true;
    }

    bool refused = false;
    FileOperation refusedOperation = FileOperation::open;

private:
    Rule rule_;
    int seen_ = 0;
};

/// Refuses every read of the file named `name`.
[[nodiscard]] inline RefusingHook::Rule ReadsOf(const std::string& name)
{
    return {FileOperation::read, [name](const std::string& file) { return file == name; }, 0};
}

}  // namespace veskari::test
