#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veskari::output {

/// How JSON text is laid out: pretty, two spaces per level, or compact on
/// one line (for JSON Lines).
struct JsonStyle {
    bool pretty = true;

    /// The line break and indentation before an element at `depth`.
    [[nodiscard]] std::string Break(int depth) const;
};

/// `text` as a JSON string, quoted. Control characters are escaped; every
/// byte that is not valid UTF-8 becomes U+FFFD (the exact bytes go beside
/// it as hex, see HexOf).
[[nodiscard]] std::string JsonString(std::string_view text);

/// The bytes of `text` in lower-case hex.
[[nodiscard]] std::string HexOf(std::string_view text);

/// A JSON object written field by field. `depth` counts the containers
/// around it, for the indentation of its fields.
class JsonObject {
public:
    JsonObject(JsonStyle style, int depth) : style_(style), depth_(depth) {}

    /// Adds a field whose value is JSON text already.
    JsonObject& Raw(std::string_view key, std::string_view json);
    JsonObject& String(std::string_view key, std::string_view text) { return Raw(key, JsonString(text)); }
    /// A string that may hold bytes that are not UTF-8: with `keyHex`
    /// beside it when it does.
    JsonObject& Bytes(std::string_view key, std::string_view keyHex, std::string_view bytes);
    JsonObject& Number(std::string_view key, std::uint64_t value) { return Raw(key, std::to_string(value)); }
    JsonObject& Signed(std::string_view key, std::int64_t value) { return Raw(key, std::to_string(value)); }
    JsonObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }

    /// The bytes of its text so far.
    [[nodiscard]] std::size_t Size() const noexcept { return text_.size(); }
    /// The object's text; the object is empty afterwards.
    [[nodiscard]] std::string Close();

private:
    JsonStyle style_;
    int depth_;
    std::string text_;
};

/// A JSON array whose elements are added as JSON text.
class JsonArray {
public:
    JsonArray(JsonStyle style, int depth) : style_(style), depth_(depth) {}

    void Add(std::string_view json);
    [[nodiscard]] bool Empty() const noexcept { return text_.empty(); }
    [[nodiscard]] std::string Close() const;

private:
    JsonStyle style_;
    int depth_;
    std::string text_;
};

}  // namespace veskari::output
