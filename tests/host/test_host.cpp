// A host application of its own: links the framework and the module, as an
// application does, and checks what the module's start-up gives it.
#include <cstdio>
#include <memory>

#include "kestrum/kestrum.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++failures;
}

// A library archive with one item, as a document would hold it.
CMemFile* LibraryArchive()
{
    auto* file = new CMemFile;
    CZELKestrum lib;
    auto* item = new CZELResItem;
    item->SetName("host item");
    lib.AddResource(item);
    CArchive ar(file, CArchive::store);
    lib.Serialize(ar);
    ar.Close();
    file->SeekToBegin();
    return file;
}

bool LoadLibrary(CMemFile& file, CZELKestrum& lib)
{
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    try {
        lib.Serialize(ar);
        return true;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

const AFX_RESOURCE kHostStrings[] = {{RT_STRING, 6014, "Host icon", 10}};

} // namespace

int main()
{
    // The module's temporary files are numbered from 0 after start-up.
    CZELResItem icon;
    BYTE bytes[] = {1, 2, 3};
    icon.SetType(RESTYPE_ICON);
    icon.SetData(bytes, sizeof bytes);
    CString first = icon.GetResFile();
    Check(first.GetLength() > 10 && first.Right(10) == "/temp0.txt", "the first temporary file is temp0.txt");
    icon.SetType(RESTYPE_VIDEO);
    Check(icon.GetResFile().Right(10) == "/temp1.dat", "the second is temp1.dat");

    HMODULE module = GetModuleHandle("libkestrum.so");
    Check(module != nullptr, "the module is loaded with the host");
    Check(module != AfxGetInstanceHandle(), "the module has a handle of its own");
    char path[4096];
    Check(GetModuleFileName(module, path, sizeof path) > 0 && CString(path).Find("libkestrum.so") >= 0,
          "the module's file name is known");

    // Not linked yet: the host's searches do not reach the module.
    std::unique_ptr<CMemFile> archive(LibraryArchive());
    Check(CRuntimeClass::FromName("CZELResItem") == nullptr, "before InitKestrumDLL the item class is not found");
    CZELKestrum early;
    Check(!LoadLibrary(*archive, early), "before InitKestrumDLL a library archive cannot be read");
    CString text;
    Check(!text.LoadString(6016), "before InitKestrumDLL the module's strings are not found");

    InitKestrumDLL();

    Check(CRuntimeClass::FromName("CZELResItem") == RUNTIME_CLASS(CZELResItem), "the item class is found by name");
    CZELKestrum lib;
    Check(LoadLibrary(*archive, lib), "a library archive naming CZELResItem is read");
    CZELResItem* item = lib.GetResItem(0x80000000);
    Check(item && item->GetName() == "host item", "the item came back");
    Check(text.LoadString(6016) && text == "Image", "the module's strings are found through the chain");

    // The host's own resource with the same number wins, until the handle
    // is switched to the module's.
    AfxRegisterResources(AfxGetInstanceHandle(), kHostStrings, 1);
    Check(text.LoadString(6014) && text == "Host icon", "the host's resource comes first");
    HINSTANCE saved = AfxGetResourceHandle();
    AfxSetResourceHandle(module);
    Check(text.LoadString(6014) && text == "Icon", "switched to the module, its resource comes first");
    Check(text.LoadString(6030) && text == "Resource config", "and every module string is there");
    AfxSetResourceHandle(saved);
    Check(text.LoadString(6014) && text == "Host icon", "switched back, the host's resource comes first again");
    AfxUnregisterResources(AfxGetInstanceHandle());

    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
