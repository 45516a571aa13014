#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "afx/win32/path.h"

namespace {

struct SplitCase {
    const char* path;
    const char* dir;
    const char* fname;
    const char* ext;
};

class SplitPath : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPath, GivesDirectoryNameAndExtension)
{
    const SplitCase& c = GetParam();
    char drive[_MAX_DRIVE] = "x", dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, "");
    EXPECT_STREQ(dir, c.dir);
    EXPECT_STREQ(fname, c.fname);
    EXPECT_STREQ(ext, c.ext);
    AfxPathParts parts = AfxSplitPath(c.path);
    EXPECT_EQ(parts.dir, c.dir);
    EXPECT_EQ(parts.fname, c.fname);
    EXPECT_EQ(parts.ext, c.ext);
    // Joining the parts gives the path back.
    EXPECT_EQ(parts.dir + parts.fname + parts.ext, c.path);
}

INSTANTIATE_TEST_SUITE_P(Paths, SplitPath,
                         ::testing::Values(SplitCase{"/usr/lib/libkestrum.so", "/usr/lib/", "libkestrum", ".so"},
                                           SplitCase{"/opt/app/bin/host", "/opt/app/bin/", "host", ""},
                                           SplitCase{"/a.dir/file", "/a.dir/", "file", ""},
                                           SplitCase{"/data/archive.tar.gz", "/data/", "archive.tar", ".gz"},
                                           SplitCase{"relative/name.txt", "relative/", "name", ".txt"},
                                           SplitCase{"name.txt", "", "name", ".txt"},
                                           SplitCase{"/home/u/.profile", "/home/u/", "", ".profile"},
                                           SplitCase{"/", "/", "", ""}, SplitCase{"", "", "", ""},
                                           SplitCase{"/tmp/dir/", "/tmp/dir/", "", ""}));

TEST(SplitPath, AnyOutputMayBeOmitted)
{
    char dir[_MAX_DIR];
    _splitpath("/x/y.z", nullptr, dir, nullptr, nullptr);
    EXPECT_STREQ(dir, "/x/");
    char ext[_MAX_EXT];
    _splitpath(nullptr, nullptr, nullptr, nullptr, ext);
    EXPECT_STREQ(ext, "");
}

TEST(SplitPath, LongPartsAreCutToTheirBuffersAndTheStringFormKeepsThemWhole)
{
    std::string longDir = "/" + std::string(400, 'd') + "/";
    std::string longName(300, 'n');
    std::string path = longDir + longName + "." + std::string(300, 'e');
    // Guard bytes around each buffer catch a write past its end.
    struct Guarded {
        char before[8];
        char buffer[_MAX_DIR];
        char after[8];
    } dir, fname, ext;
    for (Guarded* g : {&dir, &fname, &ext}) {
        std::memset(g->before, 0x5A, sizeof g->before);
        std::memset(g->after, 0x5A, sizeof g->after);
    }
    static_assert(_MAX_DIR == _MAX_FNAME && _MAX_FNAME == _MAX_EXT);
    char drive[_MAX_DRIVE];
    _splitpath(path.c_str(), drive, dir.buffer, fname.buffer, ext.buffer);
    EXPECT_EQ(std::string(dir.buffer), longDir.substr(0, _MAX_DIR - 1));
    EXPECT_EQ(std::string(fname.buffer), longName.substr(0, _MAX_FNAME - 1));
    EXPECT_EQ(std::strlen(ext.buffer), static_cast<size_t>(_MAX_EXT - 1));
    for (Guarded* g : {&dir, &fname, &ext}) {
        for (char c : g->before)
            EXPECT_EQ(c, 0x5A);
        for (char c : g->after)
            EXPECT_EQ(c, 0x5A);
    }

    AfxPathParts parts = AfxSplitPath(path);
    EXPECT_EQ(parts.dir, longDir);
    EXPECT_EQ(parts.fname, longName);
    EXPECT_EQ(parts.ext.size(), 301u);
}

} // namespace
