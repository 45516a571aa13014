// kestrum lib ...: commands on library files.
#include <cstdio>
#include <functional>
#include <map>

#include "apps/kestrum/cli.h"
#include "apps/kestrum/library_file.h"
#include "apps/kestrum/render.h"

namespace cli {

namespace {

// Loads an existing library file, reporting why when it cannot.
bool LoadExisting(const std::string& path, CZELKestrum& lib, int* code)
{
    std::string detail;
    switch (LoadLibraryFile(path, lib, &detail)) {
    case LibraryFileState::Loaded:
        return true;
    case LibraryFileState::Missing:
        *code = Fail(kFailed, path + ": no such library file");
        return false;
    case LibraryFileState::Unreadable:
        *code = Fail(kFailed, path + ": cannot read: " + detail);
        return false;
    case LibraryFileState::Damaged:
        *code = Fail(kFailed, path + ": " + detail + "; the file was left as it is");
        return false;
    }
    return false;
}

bool Save(const std::string& path, CZELKestrum& lib, int* code)
{
    std::string detail;
    if (SaveLibraryFile(path, lib, &detail))
        return true;
    *code = Fail(kFailed, path + ": cannot write: " + detail);
    return false;
}

CZELResItem* FindItem(CZELKestrum& lib, const std::string& file, const std::string& idText, int* code)
{
    std::optional<DWORD> id = ParseId(idText);
    if (!id) {
        *code = Fail(kUsage, "'" + idText + "' is not an ID (decimal, or hexadecimal with 0x)");
        return nullptr;
    }
    CZELResItem* item = lib.GetResItem(*id);
    if (!item)
        *code = Fail(kFailed, file + ": no resource with ID " + FormatId(*id));
    return item;
}

// The library in the command's FILE and its item of the command's ID.
CZELResItem* LoadItem(const Arguments& args, CZELKestrum& lib, int* code)
{
    const std::string& file = args.positional[0];
    if (!LoadExisting(file, lib, code))
        return nullptr;
    return FindItem(lib, file, args.positional[1], code);
}

int List(const Arguments& args)
{
    if (args.positional.size() != 1)
        return Fail(kUsage, "usage: kestrum lib list FILE");
    const std::string& path = args.positional[0];
    CZELKestrum lib;
    int code = kOk;
    if (!LoadExisting(path, lib, &code))
        return code;
    CZELResList* list = lib.GetResList();
    std::printf("%-12s %-7s %10s  %-24s %s\n", "ID", "TYPE", "BYTES", "NAME", "KEYWORD");
    for (POSITION pos = list->GetHeadPosition(); pos;) {
        CZELResItem* item = list->GetNext(pos);
        std::printf("%-12s %-7s %10u  %-24s %s\n", FormatId(item->GetID()).c_str(), TypeName(item->GetType()).c_str(),
                    item->GetDataSize(), item->GetName().GetString(), item->GetKeyword().GetString());
    }
    std::printf("%d resources, %u bytes\n", static_cast<int>(list->GetCount()), lib.GetDataSize());
    return kOk;
}

int Add(const Arguments& args)
{
    if (args.positional.size() != 2 || !args.Option("type"))
        return Fail(kUsage, "usage: kestrum lib add FILE PATH --type TYPE [--name NAME] [--keyword KEYWORD]");
    const std::string& file = args.positional[0];
    const std::string& source = args.positional[1];
    std::optional<DWORD> type = TypeFromName(*args.Option("type"));
    if (!type)
        return Fail(kUsage, "unknown type '" + *args.Option("type") + "' (icon, cursor, image, gif, video, html, flash)");

    CZELKestrum lib;
    std::string detail;
    LibraryFileState state = LoadLibraryFile(file, lib, &detail);
    int code = kOk;
    if (state != LibraryFileState::Missing && !LoadExisting(file, lib, &code))
        return code;

    auto* item = new CZELResItem;
    if (!item->LoadResFile(CString(source), *type)) {
        delete item;
        return Fail(kFailed, source + ": cannot read the resource file");
    }
    item->SetName(CString(args.Option("name").value_or("")));
    item->SetKeyword(CString(args.Option("keyword").value_or("")));
    lib.AddResource(item);
    if (!Save(file, lib, &code))
        return code;
    std::printf("%s\n", FormatId(item->GetID()).c_str());
    return kOk;
}

int Extract(const Arguments& args)
{
    if (args.positional.size() != 3)
        return Fail(kUsage, "usage: kestrum lib extract FILE ID OUT");
    CZELKestrum lib;
    int code = kOk;
    CZELResItem* item = LoadItem(args, lib, &code);
    return item ? SaveItemAs(*item, args.positional[2]) : code;
}

int Render(const Arguments& args)
{
    if (args.positional.size() != 3)
        return Fail(kUsage, "usage: kestrum lib render FILE ID OUT.png [--size WxH] [--cut]");
    std::optional<RenderSize> size;
    if (auto text = args.Option("size")) {
        size = ParseRenderSize(*text);
        if (!size)
            return Fail(kUsage, "'" + *text + "' is not a size such as 64x48 (1 to 8192 pixels each way)");
    }
    CZELKestrum lib;
    int code = kOk;
    CZELResItem* item = LoadItem(args, lib, &code);
    if (!item)
        return code;
    std::string error;
    if (!RenderItem(*item, size, args.Flag("cut"), args.positional[2], &error))
        return Fail(kFailed, error);
    return kOk;
}

int Remove(const Arguments& args)
{
    if (args.positional.size() != 2)
        return Fail(kUsage, "usage: kestrum lib remove FILE ID");
    CZELKestrum lib;
    int code = kOk;
    CZELResItem* item = LoadItem(args, lib, &code);
    if (!item)
        return code;
    lib.RemoveItem(item);
    return Save(args.positional[0], lib, &code) ? kOk : code;
}

} // namespace

int RunLib(const std::vector<std::string>& words)
{
    static const std::map<std::string, std::function<int(const Arguments&)>> commands = {
        {"list", List}, {"add", Add}, {"extract", Extract}, {"remove", Remove}, {"render", Render}};
    if (words.empty())
        return Fail(kUsage, "usage: kestrum lib list|add|extract|remove|render ...");
    auto it = commands.find(words[0]);
    if (it == commands.end())
        return Fail(kUsage, "unknown lib command '" + words[0] + "'");
    std::string error;
    std::optional<Arguments> args =
        Parse({words.begin() + 1, words.end()}, {"type", "name", "keyword", "size"}, {"cut"}, &error);
    if (!args)
        return Fail(kUsage, error);
    return it->second(*args);
}

} // namespace cli
