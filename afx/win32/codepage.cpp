#include "afx/win32/codepage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>
#include <utility>

namespace {

UINT ResolveCodePage(UINT codePage)
{
    return codePage == CP_ACP ? GetACP() : codePage;
}

std::string IconvName(UINT codePage)
{
    if (codePage == CP_UTF8)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

// One converter per direction and code page, opened once per thread.
class Converter {
public:
    Converter(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of in; each input unit of unitSize bytes that cannot be
    // converted becomes the replacement bytes.
    std::string Run(const char* in, size_t inLen, size_t unitSize, std::string_view replacement)
    {
        std::string out;
        out.resize(inLen * 2 + 16);
        size_t used = 0;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        size_t srcLeft = inLen;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else {
                // Malformed or unconvertible input, or a unit cut off at the end.
                size_t skip = std::min(unitSize, srcLeft);
                src += skip;
                srcLeft -= skip;
                out.resize(std::max(out.size(), used + replacement.size() + 16));
                std::memcpy(out.data() + used, replacement.data(), replacement.size());
                used += replacement.size();
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        // Flush any shift state.
        for (;;) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t rc = iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<size_t>(-1) || errno != E2BIG)
                break;
            out.resize(out.size() * 2);
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t m_cd;
};

Converter& ConverterFor(UINT codePage, bool toWide)
{
    thread_local std::map<std::pair<UINT, bool>, Converter> converters;
    auto key = std::make_pair(codePage, toWide);
    auto it = converters.find(key);
    if (it == converters.end()) {
        std::string name = IconvName(codePage);
        it = converters
                 .emplace(std::piecewise_construct, std::forward_as_tuple(key),
                          std::forward_as_tuple(toWide ? "UTF-16LE" : name, toWide ? name : "UTF-16LE"))
                 .first;
        if (!it->second.valid()) {
            // An unknown code page: fall back to UTF-8 rather than lose the text.
            converters.erase(it);
            it = converters
                     .emplace(std::piecewise_construct, std::forward_as_tuple(key),
                              std::forward_as_tuple(toWide ? "UTF-16LE" : "UTF-8", toWide ? "UTF-8" : "UTF-16LE"))
                     .first;
        }
    }
    return it->second;
}

bool IsAscii(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

UINT GetACP()
{
    static const UINT acp = [] {
        const char* env = std::getenv("AFX_ANSI_CODEPAGE");
        if (env && *env) {
            char* end = nullptr;
            unsigned long v = std::strtoul(env, &end, 10);
            if (end && *end == '\0' && v > 0 && v < 65536)
                return static_cast<UINT>(v);
        }
        return static_cast<UINT>(CP_UTF8);
    }();
    return acp;
}

std::string AfxWideToMultiByte(std::u16string_view wide, UINT codePage)
{
    codePage = ResolveCodePage(codePage);
    bool ascii = true;
    for (char16_t c : wide) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) // every code page this framework meets is ASCII-compatible
        return std::string(wide.begin(), wide.end());
    static_assert(sizeof(char16_t) == 2);
    return ConverterFor(codePage, false).Run(reinterpret_cast<const char*>(wide.data()), wide.size() * 2, 2, "?");
}

std::u16string AfxMultiByteToWide(std::string_view text, UINT codePage)
{
    codePage = ResolveCodePage(codePage);
    if (IsAscii(text.data(), text.size()))
        return std::u16string(text.begin(), text.end());
    static const char replacement[] = {'\xFD', '\xFF'}; // U+FFFD, little-endian
    std::string bytes = ConverterFor(codePage, true).Run(text.data(), text.size(), 1, std::string_view(replacement, 2));
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

int MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0)
        return 0;
    size_t len = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::u16string wide = AfxMultiByteToWide(std::string_view(lpMultiByteStr, len), CodePage);
    if (cchWideChar == 0)
        return static_cast<int>(wide.size());
    if (!lpWideCharStr || wide.size() > static_cast<size_t>(cchWideChar))
        return 0;
    std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(WCHAR));
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR, BOOL* lpUsedDefaultChar)
{
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = FALSE;
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0)
        return 0;
    size_t len = cchWideChar == -1 ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                                   : static_cast<size_t>(cchWideChar);
    std::string text = AfxWideToMultiByte(std::u16string_view(lpWideCharStr, len), CodePage);
    if (cbMultiByte == 0)
        return static_cast<int>(text.size());
    if (!lpMultiByteStr || text.size() > static_cast<size_t>(cbMultiByte))
        return 0;
    std::memcpy(lpMultiByteStr, text.data(), text.size());
    return static_cast<int>(text.size());
}
