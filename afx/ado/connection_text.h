// Framework-internal: reading a connection text, "Provider=...; Data
// Source=<path>". Keys are case-blind and blanks around '=' and ';' do not
// count; a value runs to the next ';' or to the end, or is quoted ("..."
// or '...') to hold a ';' of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adoimpl {

struct ConnectionText {
    // key (lower case, inner blanks single) and value, in order
    std::vector<std::pair<std::string, std::string>> entries;

    // The last value given for key (lower case), if any.
    std::optional<std::string> Value(std::string_view key) const;
};

// Nothing when the text is malformed (a part without '=', an open quote).
std::optional<ConnectionText> ParseConnectionText(std::string_view text);

} // namespace adoimpl
