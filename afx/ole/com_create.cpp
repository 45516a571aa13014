#include "afx/ole/com_create.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ComClass {
    CLSID clsid;
    std::string progId;
    AfxCreateComObjectProc create;
};

struct ClassTable {
    std::mutex lock;
    std::vector<ComClass> classes;
};

ClassTable& Classes()
{
    static ClassTable table;
    return table;
}

bool SameProgId(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Reads 2 * bytes hexadecimal digits at *p into value.
bool ReadHex(const char16_t*& p, int bytes, unsigned long long* value)
{
    *value = 0;
    for (int i = 0; i < bytes * 2; ++i) {
        int d = HexDigit(*p);
        if (d < 0)
            return false;
        *value = (*value << 4) | static_cast<unsigned>(d);
        ++p;
    }
    return true;
}

bool Expect(const char16_t*& p, char16_t c)
{
    if (*p != c)
        return false;
    ++p;
    return true;
}

} // namespace

HRESULT CoInitialize(LPVOID)
{
    return S_OK;
}

HRESULT CoInitializeEx(LPVOID, DWORD)
{
    return S_OK;
}

void CoUninitialize() {}

void AfxRegisterComClass(REFCLSID rclsid, const char* pszProgID, AfxCreateComObjectProc create)
{
    ClassTable& table = Classes();
    std::lock_guard<std::mutex> guard(table.lock);
    table.classes.push_back({rclsid, pszProgID ? pszProgID : "", create});
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    AfxCreateComObjectProc create = nullptr;
    {
        ClassTable& table = Classes();
        std::lock_guard<std::mutex> guard(table.lock);
        for (const ComClass& c : table.classes) {
            if (c.clsid == rclsid)
                create = c.create;
        }
    }
    if (!create)
        return REGDB_E_CLASSNOTREG;
    return create(riid, ppv);
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid)
{
    if (!lpsz || !pclsid)
        return E_INVALIDARG;
    const char16_t* p = lpsz;
    unsigned long long v;
    CLSID id{};
    if (!Expect(p, u'{') || !ReadHex(p, 4, &v))
        return CO_E_CLASSSTRING;
    id.Data1 = static_cast<DWORD>(v);
    if (!Expect(p, u'-') || !ReadHex(p, 2, &v))
        return CO_E_CLASSSTRING;
    id.Data2 = static_cast<WORD>(v);
    if (!Expect(p, u'-') || !ReadHex(p, 2, &v))
        return CO_E_CLASSSTRING;
    id.Data3 = static_cast<WORD>(v);
    if (!Expect(p, u'-'))
        return CO_E_CLASSSTRING;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(p, u'-'))
            return CO_E_CLASSSTRING;
        if (!ReadHex(p, 1, &v))
            return CO_E_CLASSSTRING;
        id.Data4[i] = static_cast<BYTE>(v);
    }
    if (!Expect(p, u'}') || *p != u'\0')
        return CO_E_CLASSSTRING;
    *pclsid = id;
    return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    if (lpszProgID[0] == u'{')
        return CLSIDFromString(lpszProgID, lpclsid);
    std::string name;
    for (const char16_t* p = lpszProgID; *p; ++p) {
        if (*p >= 0x80)
            return CO_E_CLASSSTRING;
        name += static_cast<char>(*p);
    }
    ClassTable& table = Classes();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const ComClass& c : table.classes) {
        if (!c.progId.empty() && SameProgId(c.progId, name)) {
            *lpclsid = c.clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}
