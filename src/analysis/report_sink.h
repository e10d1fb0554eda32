#pragma once

#include <string>

namespace veskari {

/// Where the analysis writes the report: the window's report box or the
/// command line's output. The analysis only asks whether the report is
/// empty and appends whole headlines and blocks to it.
class ReportSink {
public:
    [[nodiscard]] virtual bool IsEmpty() const = 0;
    /// Adds `text` unchanged, with no separator of its own, to the end of the report.
    virtual void AppendReport(const std::string& text) = 0;

protected:
    ~ReportSink() = default;
};

/// A report kept as text in memory, as the window holds it.
class StringReport final : public ReportSink {
public:
    [[nodiscard]] bool IsEmpty() const override { return text_.empty(); }
    void AppendReport(const std::string& text) override { text_ += text; }
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }
    void Clear() noexcept { text_.clear(); }

private:
    std::string text_;
};

}  // namespace veskari
