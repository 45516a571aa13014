#include "afx/ado/connection_text.h"

namespace adoimpl {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string NormalKey(std::string_view key)
{
    std::string out;
    bool blank = false;
    for (char c : Trim(key)) {
        if (IsBlank(c)) {
            blank = true;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

} // namespace

std::optional<std::string> ConnectionText::Value(std::string_view key) const
{
    std::optional<std::string> value;
    for (const auto& entry : entries) {
        if (entry.first == key)
            value = entry.second;
    }
    return value;
}

std::optional<ConnectionText> ParseConnectionText(std::string_view text)
{
    ConnectionText result;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t equals = text.find('=', pos);
        size_t semicolon = text.find(';', pos);
        if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
            // A part without a key: only blanks may stand there.
            size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
            if (!Trim(text.substr(pos, end - pos)).empty())
                return std::nullopt;
            pos = end + 1;
            continue;
        }
        std::string key = NormalKey(text.substr(pos, equals - pos));
        if (key.empty())
            return std::nullopt;
        size_t valueStart = equals + 1;
        while (valueStart < text.size() && IsBlank(text[valueStart]))
            ++valueStart;
        std::string value;
        size_t next;
        if (valueStart < text.size() && (text[valueStart] == '"' || text[valueStart] == '\'')) {
            char quote = text[valueStart];
            size_t close = text.find(quote, valueStart + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            value = std::string(text.substr(valueStart + 1, close - valueStart - 1));
            next = close + 1;
            while (next < text.size() && IsBlank(text[next]))
                ++next;
            if (next < text.size() && text[next] != ';')
                return std::nullopt;
        } else {
            next = text.find(';', valueStart);
            if (next == std::string_view::npos)
                next = text.size();
            value = std::string(Trim(text.substr(valueStart, next - valueStart)));
        }
        result.entries.emplace_back(std::move(key), std::move(value));
        pos = next + 1;
    }
    return result;
}

} // namespace adoimpl
