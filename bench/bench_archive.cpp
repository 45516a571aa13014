// A library of 1,000 items of 64 KiB stored to and loaded from a memory file,
// and copied with Update, each against memcpy of the same bytes.
#include <malloc.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "bench/ratio_reporter.h"
#include "kestrum/kestrum.h"

namespace {

constexpr int kItems = 1000;
constexpr DWORD kItemBytes = 64 * 1024;
constexpr size_t kTotalBytes = size_t(kItems) * kItemBytes;

CZELKestrum& Library()
{
    static CZELKestrum* lib = [] {
        InitKestrumDLL();
        auto* made = new CZELKestrum;
        std::vector<BYTE> data(kItemBytes);
        for (int i = 0; i < kItems; ++i) {
            for (DWORD j = 0; j < kItemBytes; ++j)
                data[j] = static_cast<BYTE>(i + j * 13);
            auto* item = new CZELResItem;
            item->SetName("resource");
            item->SetKeyword("keyword");
            item->SetType(RESTYPE_IMAGE);
            item->SetData(data.data(), kItemBytes);
            made->AddResource(item);
        }
        return made;
    }();
    return *lib;
}

// The lower bound: the same bytes moved by memcpy, item by item, into memory
// that is already there.
void BM_Memcpy(benchmark::State& state)
{
    std::vector<BYTE> source(kTotalBytes, 1);
    std::vector<BYTE> target(kTotalBytes, 2);
    for (auto _ : state) {
        for (int i = 0; i < kItems; ++i)
            std::memcpy(target.data() + size_t(i) * kItemBytes, source.data() + size_t(i) * kItemBytes, kItemBytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotalBytes));
}

void BM_Store(benchmark::State& state)
{
    // Stored over and over into one memory file, as a document is saved
    // again: like the lower bound, this measures copying, not the kernel
    // handing out fresh pages.
    CZELKestrum& lib = Library();
    CMemFile file;
    for (auto _ : state) {
        file.SetLength(0);
        CArchive ar(&file, CArchive::store);
        lib.Serialize(ar);
        ar.Close();
        benchmark::DoNotOptimize(file.GetLength());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotalBytes));
}

void BM_Load(benchmark::State& state)
{
    CMemFile stored;
    {
        CArchive ar(&stored, CArchive::store);
        Library().Serialize(ar);
        ar.Close();
    }
    for (auto _ : state) {
        stored.SeekToBegin();
        CZELKestrum loaded;
        CArchive ar(&stored, CArchive::load);
        loaded.Serialize(ar);
        benchmark::DoNotOptimize(loaded.GetDataSize());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotalBytes));
}

void BM_Update(benchmark::State& state)
{
    CZELKestrum& lib = Library();
    for (auto _ : state) {
        CZELKestrum copy;
        copy.Update(&lib);
        benchmark::DoNotOptimize(copy.GetDataSize());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTotalBytes));
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Store)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Update)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // The lower bound copies into memory that is already there; so do the
    // subjects when the allocator keeps freed memory instead of handing it
    // back to the kernel and faulting fresh pages in on the next round. Run
    // with --no-keep-memory to see the kernel's share as well.
    bool keepMemory = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-keep-memory") == 0) {
            keepMemory = false;
            std::swap(argv[i], argv[argc - 1]);
            --argc;
            break;
        }
    }
    if (keepMemory) {
        mallopt(M_TRIM_THRESHOLD, INT_MAX);
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
    }
    return bench::RunWithRatios(argc, argv,
                                {{"BM_Store/real_time", "BM_Memcpy/real_time", 2.0},
                                 {"BM_Load/real_time", "BM_Memcpy/real_time", 2.0},
                                 {"BM_Update/real_time", "BM_Memcpy/real_time", 4.0}});
}
