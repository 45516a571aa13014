// kestrum db ...: commands on shared resource databases.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "afx/ole/com_error.h"
#include "apps/kestrum/cli.h"
#include "kestrum/shareddb/db_location.h"
#include "kestrum/shareddb/row_item.h"

namespace cli {

namespace {

const char kCreateTable[] = "CREATE TABLE RESTABLE (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT, TYPE INTEGER, "
                            "KEYWORD TEXT, CONTENT BLOB)";

std::string Describe(const _com_error& e)
{
    _bstr_t description = e.Description();
    std::string text = static_cast<const char*>(description);
    return text.empty() ? e.ErrorMessage() : text;
}

// A recordset over the database file, opened as the editing pages open
// theirs: on the connection text, with a connection of its own.
_RecordsetPtr OpenRows(const std::string& file, const CString& source)
{
    if (!DatabaseFileExists(CString(file)))
        _com_issue_error(E_FAIL); // reported by the caller as a missing file
    _RecordsetPtr rows;
    HRESULT hr = rows.CreateInstance(__uuidof(Recordset));
    if (FAILED(hr))
        _com_issue_error(hr);
    rows->Open(_variant_t(source.GetString()), _variant_t(ConnectionText(CString(file)).GetString()), adOpenDynamic,
               adLockOptimistic, adCmdText);
    return rows;
}

// Runs body, turning database errors into a message and a failure code.
int Guarded(const std::string& file, const std::function<int()>& body)
{
    if (!DatabaseFileExists(CString(file)))
        return Fail(kFailed, file + ": no such database file (make one with: kestrum db init " + file + ")");
    try {
        return body();
    } catch (_com_error& e) {
        return Fail(kFailed, file + ": " + Describe(e));
    } catch (CException* e) {
        char text[512] = {};
        e->GetErrorMessage(text, sizeof text);
        e->Delete();
        return Fail(kFailed, text);
    }
}

int Init(const Arguments& args)
{
    if (args.positional.size() != 1)
        return Fail(kUsage, "usage: kestrum db init FILE");
    const std::string& file = args.positional[0];
    struct stat st;
    bool existed = ::stat(file.c_str(), &st) == 0;
    if (!existed) {
        CFile made;
        CFileException error;
        if (!made.Open(file.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::modeNoTruncate, &error))
            return Fail(kFailed, file + ": cannot create the file");
        made.Close();
    }
    int code = Guarded(file, [&] {
        _ConnectionPtr connection;
        connection.CreateInstance(__uuidof(Connection));
        connection->Open(_bstr_t(ConnectionText(CString(file)).GetString()), _bstr_t(""), _bstr_t(""),
                         adConnectUnspecified);
        connection->Execute(_bstr_t(kCreateTable));
        connection->Close();
        std::printf("%s: RESTABLE made\n", file.c_str());
        return kOk;
    });
    if (code != kOk && !existed)
        ::unlink(file.c_str()); // leave nothing half made behind
    return code;
}

int Add(const Arguments& args)
{
    if (args.positional.size() != 2 || !args.Option("type"))
        return Fail(kUsage, "usage: kestrum db add FILE PATH --type TYPE [--name NAME] [--keyword KEYWORD]");
    const std::string& file = args.positional[0];
    const std::string& source = args.positional[1];
    std::optional<DWORD> type = TypeFromName(*args.Option("type"));
    if (!type)
        return Fail(kUsage, "unknown type '" + *args.Option("type") + "' (icon, cursor, image, gif, video, html, flash)");
    CZELResItem item;
    if (!item.LoadResFile(CString(source), *type))
        return Fail(kFailed, source + ": cannot read the resource file");
    item.SetName(CString(args.Option("name").value_or("")));
    item.SetKeyword(CString(args.Option("keyword").value_or("")));
    return Guarded(file, [&] {
        _RecordsetPtr rows = OpenRows(file, "SELECT * FROM RESTABLE");
        AddItemRow(rows, &item);
        std::printf("%s\n", FormatId(item.GetID()).c_str());
        return kOk;
    });
}

int List(const Arguments& args)
{
    if (args.positional.size() != 1)
        return Fail(kUsage, "usage: kestrum db list FILE [--type TYPE] [--keyword KEYWORD]");
    const std::string& file = args.positional[0];
    CString source("SELECT * FROM RESTABLE");
    if (auto typeName = args.Option("type")) {
        std::optional<DWORD> type = TypeFromName(*typeName);
        if (!type)
            return Fail(kUsage, "unknown type '" + *typeName + "'");
        source.Format("SELECT * FROM RESTABLE WHERE [TYPE]=%d", static_cast<int>(*type));
    }
    CString wanted(args.Option("keyword").value_or(""));
    wanted.MakeLower();
    return Guarded(file, [&] {
        _RecordsetPtr rows = OpenRows(file, source);
        std::printf("%-10s %-7s %10s  %-24s %s\n", "ID", "TYPE", "BYTES", "NAME", "KEYWORD");
        int shown = 0;
        FieldsPtr fields = rows->GetFields();
        for (; !rows->GetadoEOF(); rows->MoveNext()) {
            _variant_t keywordValue = fields->GetItem(_variant_t(3L))->GetValue();
            CString keyword = keywordValue.vt == VT_BSTR ? CString(static_cast<const char*>(_bstr_t(keywordValue)))
                                                         : CString();
            CString lower = keyword;
            lower.MakeLower();
            if (lower.Find(wanted) < 0)
                continue;
            _variant_t nameValue = fields->GetItem(_variant_t(1L))->GetValue();
            CString name = nameValue.vt == VT_BSTR ? CString(static_cast<const char*>(_bstr_t(nameValue))) : CString();
            DWORD id = static_cast<DWORD>(static_cast<long>(fields->GetItem(_variant_t(0L))->GetValue()));
            _variant_t typeValue = fields->GetItem(_variant_t(2L))->GetValue();
            DWORD type = typeValue.vt == VT_I4 ? static_cast<DWORD>(typeValue.lVal) : 0;
            long size = fields->GetItem(_variant_t(4L))->GetActualSize();
            std::printf("%-10s %-7s %10ld  %-24s %s\n", FormatId(id).c_str(), TypeName(type).c_str(), size,
                        name.GetString(), keyword.GetString());
            ++shown;
        }
        std::printf("%d resources\n", shown);
        return kOk;
    });
}

int Export(const Arguments& args)
{
    if (args.positional.size() != 3)
        return Fail(kUsage, "usage: kestrum db export FILE ID OUT");
    const std::string& file = args.positional[0];
    std::optional<DWORD> id = ParseId(args.positional[1]);
    if (!id)
        return Fail(kUsage, "'" + args.positional[1] + "' is not an ID");
    const std::string& out = args.positional[2];
    return Guarded(file, [&] {
        _RecordsetPtr rows = OpenRows(file, "SELECT * FROM RESTABLE");
        if (!FindRowOfID(rows, *id))
            return Fail(kFailed, file + ": no resource with ID " + FormatId(*id));
        std::unique_ptr<CZELResItem> item(ItemFromCurrentRow(rows));
        return SaveItemAs(*item, out);
    });
}

int Remove(const Arguments& args)
{
    if (args.positional.size() != 2)
        return Fail(kUsage, "usage: kestrum db remove FILE ID");
    const std::string& file = args.positional[0];
    std::optional<DWORD> id = ParseId(args.positional[1]);
    if (!id)
        return Fail(kUsage, "'" + args.positional[1] + "' is not an ID");
    return Guarded(file, [&] {
        _RecordsetPtr rows = OpenRows(file, "SELECT * FROM RESTABLE");
        if (!FindRowOfID(rows, *id))
            return Fail(kFailed, file + ": no resource with ID " + FormatId(*id));
        DeleteItemRow(rows, *id);
        return kOk;
    });
}

// A progress bar on a terminal; nothing when standard error is not one.
class Progress {
public:
    explicit Progress(size_t total) : m_total(total), m_shown(::isatty(STDERR_FILENO)) {}
    ~Progress()
    {
        if (m_shown && m_total)
            std::fputc('\n', stderr);
    }
    void Step(size_t done, const std::string& name)
    {
        if (!m_shown || !m_total)
            return;
        const int width = 30;
        int filled = static_cast<int>(done * width / m_total);
        std::fprintf(stderr, "\r[%s%s] %zu/%zu %-30.30s", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), done, m_total, name.c_str());
        std::fflush(stderr);
    }

private:
    size_t m_total;
    bool m_shown;
};

int Import(const Arguments& args)
{
    if (args.positional.size() != 2)
        return Fail(kUsage, "usage: kestrum db import FILE DIR");
    const std::string& file = args.positional[0];
    const std::string& dir = args.positional[1];
    // Every entry but folders; what is no regular file (a broken link, a
    // pipe, a device) is reported as unreadable rather than opened.
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* entry = ::readdir(d)) {
            std::string name = entry->d_name;
            struct stat st;
            bool folder = ::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            if (name != "." && name != ".." && !folder)
                names.push_back(name);
        }
        ::closedir(d);
    } else {
        return Fail(kFailed, dir + ": cannot read the folder");
    }
    std::sort(names.begin(), names.end());
    auto isRegularFile = [&dir](const std::string& name) {
        struct stat st;
        return ::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    return Guarded(file, [&] {
        _RecordsetPtr rows = OpenRows(file, "SELECT * FROM RESTABLE");
        size_t imported = 0;
        std::vector<std::string> skipped;
        std::vector<std::string> unreadable;
        Progress progress(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            progress.Step(i, name);
            std::optional<DWORD> type = TypeFromExtension(name);
            if (!type) {
                skipped.push_back(name);
                continue;
            }
            CZELResItem item;
            if (!isRegularFile(name) || !item.LoadResFile(CString(dir + "/" + name), *type)) {
                unreadable.push_back(name);
                continue;
            }
            item.SetName(CString(name.substr(0, name.rfind('.'))));
            AddItemRow(rows, &item);
            ++imported;
        }
        progress.Step(names.size(), "");
        for (const std::string& name : unreadable)
            std::fprintf(stderr, "kestrum: %s/%s: cannot read, skipped\n", dir.c_str(), name.c_str());
        for (const std::string& name : skipped)
            std::fprintf(stderr, "kestrum: %s/%s: no resource type for this extension, skipped\n", dir.c_str(),
                         name.c_str());
        std::printf("imported %zu, skipped %zu (%zu unreadable)\n", imported, skipped.size() + unreadable.size(),
                    unreadable.size());
        return unreadable.empty() ? kOk : kFailed;
    });
}

} // namespace

int RunDb(const std::vector<std::string>& words)
{
    static const std::map<std::string, std::function<int(const Arguments&)>> commands = {
        {"init", Init}, {"add", Add}, {"list", List}, {"export", Export}, {"remove", Remove}, {"import", Import}};
    if (words.empty())
        return Fail(kUsage, "usage: kestrum db init|add|list|export|remove|import ...");
    auto it = commands.find(words[0]);
    if (it == commands.end())
        return Fail(kUsage, "unknown db command '" + words[0] + "'");
    std::string error;
    std::optional<Arguments> args = Parse({words.begin() + 1, words.end()}, {"type", "name", "keyword"}, {}, &error);
    if (!args)
        return Fail(kUsage, error);
    return it->second(*args);
}

} // namespace cli
