// Feeds arbitrary bytes to the item and library readers. Every input must
// load or fail with the framework's exception, without crashes, leaks or
// allocations of what a length field merely claims.
#include <cstddef>
#include <cstdint>

#include "kestrum/kestrum.h"

namespace {

void LoadLibrary(const uint8_t* data, size_t size)
{
    CMemFile file(const_cast<BYTE*>(data), static_cast<UINT>(size));
    CArchive ar(&file, CArchive::load);
    CZELKestrum lib;
    try {
        lib.Serialize(ar);
        // Whatever loaded must store again.
        CMemFile out;
        CArchive store(&out, CArchive::store);
        lib.Serialize(store);
        store.Close();
    } catch (CException* e) {
        e->Delete();
    }
    file.Detach();
}

void LoadItem(const uint8_t* data, size_t size)
{
    CMemFile file(const_cast<BYTE*>(data), static_cast<UINT>(size));
    CArchive ar(&file, CArchive::load);
    CZELResItem item;
    try {
        item.Serialize(ar);
        CZELResItem copy;
        copy = item;
    } catch (CException* e) {
        e->Delete();
    }
    file.Detach();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitKestrumDLL();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LoadLibrary(data, size);
    LoadItem(data, size);
    return 0;
}
