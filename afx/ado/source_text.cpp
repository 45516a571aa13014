#include "afx/ado/source_text.h"

#include <cerrno>
#include <cstdlib>

namespace adoimpl {

namespace {

class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    void SkipBlanks()
    {
        while (m_pos < m_text.size() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return m_pos >= m_text.size();
    }
    // A keyword, case-blind, that ends where a name would.
    bool Keyword(std::string_view word)
    {
        SkipBlanks();
        if (m_text.size() - m_pos < word.size())
            return false;
        for (size_t i = 0; i < word.size(); ++i) {
            if (Lower(m_text[m_pos + i]) != Lower(word[i]))
                return false;
        }
        size_t end = m_pos + word.size();
        if (end < m_text.size() && IsNameChar(m_text[end]))
            return false;
        m_pos = end;
        return true;
    }
    bool Symbol(char c)
    {
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    // name, [name with blanks] or "name".
    std::optional<std::string> Name()
    {
        SkipBlanks();
        if (m_pos >= m_text.size())
            return std::nullopt;
        char open = m_text[m_pos];
        if (open == '[' || open == '"') {
            char close = open == '[' ? ']' : '"';
            size_t end = m_text.find(close, m_pos + 1);
            if (end == std::string_view::npos || end == m_pos + 1)
                return std::nullopt;
            std::string name(m_text.substr(m_pos + 1, end - m_pos - 1));
            m_pos = end + 1;
            return name;
        }
        size_t start = m_pos;
        while (m_pos < m_text.size() && IsNameChar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start || IsDigit(m_text[start]))
            return std::nullopt;
        return std::string(m_text.substr(start, m_pos - start));
    }
    std::optional<std::string> Operator()
    {
        SkipBlanks();
        static const char* const kOperators[] = {"<=", ">=", "<>", "!=", "=", "<", ">"};
        for (const char* op : kOperators) {
            std::string_view candidate(op);
            if (m_text.substr(m_pos, candidate.size()) == candidate) {
                m_pos += candidate.size();
                return candidate == "!=" ? std::string("<>") : std::string(candidate);
            }
        }
        return std::nullopt;
    }
    std::optional<SqlValue> Literal()
    {
        SkipBlanks();
        if (m_pos >= m_text.size())
            return std::nullopt;
        if (m_text[m_pos] == '\'') {
            std::string value;
            for (size_t i = m_pos + 1; i < m_text.size(); ++i) {
                if (m_text[i] != '\'') {
                    value += m_text[i];
                } else if (i + 1 < m_text.size() && m_text[i + 1] == '\'') {
                    value += '\'';
                    ++i;
                } else {
                    m_pos = i + 1;
                    return SqlValue(std::move(value));
                }
            }
            return std::nullopt; // no closing quote
        }
        size_t start = m_pos;
        if (m_text[m_pos] == '-' || m_text[m_pos] == '+')
            ++m_pos;
        bool digits = false;
        bool fraction = false;
        while (m_pos < m_text.size() && (IsDigit(m_text[m_pos]) || m_text[m_pos] == '.')) {
            if (m_text[m_pos] == '.') {
                if (fraction)
                    return std::nullopt;
                fraction = true;
            } else {
                digits = true;
            }
            ++m_pos;
        }
        if (!digits || (m_pos < m_text.size() && IsNameChar(m_text[m_pos])))
            return std::nullopt;
        std::string number(m_text.substr(start, m_pos - start));
        errno = 0;
        char* end = nullptr;
        if (fraction) {
            double d = std::strtod(number.c_str(), &end);
            if (errno == ERANGE || *end != '\0')
                return std::nullopt;
            return SqlValue(d);
        }
        long long i = std::strtoll(number.c_str(), &end, 10);
        if (errno == ERANGE || *end != '\0')
            return std::nullopt;
        return SqlValue(i);
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static bool IsNameChar(char c)
    {
        return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    }
    static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

    std::string_view m_text;
    size_t m_pos = 0;
};

std::optional<Comparison> ReadComparison(Scanner& in)
{
    std::optional<std::string> column = in.Name();
    if (!column)
        return std::nullopt;
    std::optional<std::string> op = in.Operator();
    if (!op)
        return std::nullopt;
    std::optional<SqlValue> value = in.Literal();
    if (!value)
        return std::nullopt;
    return Comparison{*column, *op, *value};
}

} // namespace

std::optional<Comparison> ParseComparison(std::string_view text)
{
    Scanner in(text);
    std::optional<Comparison> comparison = ReadComparison(in);
    if (!comparison || !in.AtEnd())
        return std::nullopt;
    return comparison;
}

std::optional<SourceQuery> ParseSourceQuery(std::string_view text)
{
    Scanner in(text);
    if (!in.Keyword("SELECT") || !in.Symbol('*') || !in.Keyword("FROM"))
        return std::nullopt;
    std::optional<std::string> table = in.Name();
    if (!table)
        return std::nullopt;
    SourceQuery query{*table, std::nullopt};
    if (in.Keyword("WHERE")) {
        query.filter = ReadComparison(in);
        if (!query.filter)
            return std::nullopt;
    }
    in.Symbol(';');
    if (!in.AtEnd())
        return std::nullopt;
    return query;
}

std::optional<std::string> ParseTableName(std::string_view text)
{
    Scanner in(text);
    std::optional<std::string> table = in.Name();
    if (!table || !in.AtEnd())
        return std::nullopt;
    return table;
}

} // namespace adoimpl
