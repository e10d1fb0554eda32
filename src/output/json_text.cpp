#include "output/json_text.h"

#include "platform/hex_text.h"
#include "platform/visible_text.h"

namespace veskari::output {

std::string JsonStyle::Break(int depth) const
{
    if (!pretty) {
        return {};
    }
    std::string text(static_cast<std::size_t>(2 * depth) + 1, ' ');
    text[0] = '\n';
    return text;
}

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    json.reserve(text.size() + 2);
    while (!text.empty()) {
        const std::size_t length = Utf8CharacterLength(text);
        if (length == 0) {
            json += "\xEF\xBF\xBD";  // U+FFFD
            text.remove_prefix(1);
            continue;
        }
        const char c = text[0];
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\b':
            json += "\\b";
            break;
        case '\f':
            json += "\\f";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                json += "\\u00";
                AppendHex(json, static_cast<unsigned char>(c), 2, HexCase::lower);
            } else {
                json.append(text.substr(0, length));
            }
            break;
        }
        text.remove_prefix(length);
    }
    json += '"';
    return json;
}

std::string HexOf(std::string_view text)
{
    std::string hex;
    hex.reserve(2 * text.size());
    for (const char c : text) {
        AppendHex(hex, static_cast<unsigned char>(c), 2, HexCase::lower);
    }
    return hex;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json)
{
    text_ += text_.empty() ? "{" : ",";
    text_ += style_.Break(depth_ + 1);
    text_ += JsonString(key);
    text_ += style_.pretty ? ": " : ":";
    text_ += json;
    return *this;
}

JsonObject& JsonObject::Bytes(std::string_view key, std::string_view keyHex, std::string_view bytes)
{
    String(key, bytes);
    if (!IsValidUtf8(bytes)) {
        String(keyHex, HexOf(bytes));
    }
    return *this;
}

std::string JsonObject::Close()
{
    std::string text;
    text.swap(text_);
    if (text.empty()) {
        return "{}";
    }
    text += style_.Break(depth_);
    text += '}';
    return text;
}

void JsonArray::Add(std::string_view json)
{
    text_ += text_.empty() ? "[" : ",";
    text_ += style_.Break(depth_ + 1);
    text_ += json;
}

std::string JsonArray::Close() const
{
    if (text_.empty()) {
        return "[]";
    }
    return text_ + style_.Break(depth_) + "]";
}

}  // namespace veskari::output
