#include "apps/kestrum/cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace cli {

namespace {

struct TypeEntry {
    const char* name;
    DWORD code;
    std::vector<const char*> extensions;
};

const std::vector<TypeEntry>& Types()
{
    static const std::vector<TypeEntry> types = {
        {"image", RESTYPE_IMAGE, {".jpg", ".jpeg", ".bmp"}},
        {"icon", RESTYPE_ICON, {".ico"}},
        {"gif", RESTYPE_GIF, {".gif"}},
        {"video", RESTYPE_VIDEO, {".avi", ".mpg", ".mpeg", ".dat", ".wmv", ".wav", ".mp4"}},
        {"cursor", RESTYPE_CURSOR, {".cur", ".ani"}},
        {"html", RESTYPE_HTML, {".mht", ".mhtml"}},
        {"flash", RESTYPE_FLASH, {".swf"}},
    };
    return types;
}

} // namespace

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "kestrum: %s\n", message.c_str());
    return code;
}

std::optional<std::string> Arguments::Option(const std::string& name) const
{
    for (const auto& [key, value] : options) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

bool Arguments::Flag(const std::string& name) const
{
    return std::find(flags.begin(), flags.end(), name) != flags.end();
}

std::optional<Arguments> Parse(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions,
                               const std::vector<std::string>& flagOptions, std::string* error)
{
    Arguments args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
            std::string name = w.substr(2);
            if (std::find(flagOptions.begin(), flagOptions.end(), name) != flagOptions.end()) {
                args.flags.push_back(name);
            } else if (std::find(valueOptions.begin(), valueOptions.end(), name) != valueOptions.end()) {
                if (i + 1 >= words.size()) {
                    *error = "option --" + name + " needs a value";
                    return std::nullopt;
                }
                args.options.emplace_back(name, words[++i]);
            } else {
                *error = "unknown option " + w;
                return std::nullopt;
            }
        } else {
            args.positional.push_back(w);
        }
    }
    return args;
}

std::optional<DWORD> TypeFromName(const std::string& name)
{
    for (const TypeEntry& t : Types()) {
        if (name == t.name)
            return t.code;
    }
    return std::nullopt;
}

std::string TypeName(DWORD type)
{
    for (const TypeEntry& t : Types()) {
        if (t.code == type)
            return t.name;
    }
    return "type " + std::to_string(type);
}

std::optional<DWORD> TypeFromExtension(const std::string& path)
{
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const TypeEntry& t : Types()) {
        for (const char* e : t.extensions) {
            if (ext == e)
                return t.code;
        }
    }
    return std::nullopt;
}

std::optional<DWORD> ParseId(const std::string& text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno || !end || *end || v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(v);
}

std::string FormatId(DWORD id)
{
    // Local IDs show in hexadecimal, database IDs in decimal, as in the editors.
    char buf[16];
    if (id & 0x80000000u)
        std::snprintf(buf, sizeof buf, "0x%X", id);
    else
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(id));
    return buf;
}

int SaveItemAs(CZELResItem& item, const std::string& out)
{
    item.SaveAs(out.c_str());
    // Save as reports nothing; what landed on disk tells whether it worked.
    struct stat st;
    if (::stat(out.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != item.GetDataSize())
        return Fail(kFailed, out + ": cannot write");
    return kOk;
}

} // namespace cli
