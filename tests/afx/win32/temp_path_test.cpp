#include "afx/win32/temp_path.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "afx/core/file.h"

namespace {

// Sets an environment variable for one scope (unset with null).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// A scratch directory of the test's own, removed with everything in it.
class TempPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/temp_path_test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        if (!m_root.empty())
            std::system(("rm -rf '" + m_root + "'").c_str());
    }

    std::string Dir(const std::string& name)
    {
        std::string path = m_root + "/" + name;
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
        return path;
    }
    static std::string Own(const std::string& base)
    {
        return base + "/afx-" + std::to_string(::geteuid());
    }
    static std::string GetTempPathString()
    {
        char buffer[4096];
        std::memset(buffer, '#', sizeof buffer);
        DWORD n = GetTempPathA(sizeof buffer, buffer);
        if (n == 0)
            return {};
        EXPECT_EQ(std::strlen(buffer), n);
        return std::string(buffer, n);
    }

    std::string m_root;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

} // namespace

TEST_F(TempPathTest, PrivateFolderUnderTheFirstUsableBase)
{
    const std::string runtime = Dir("runtime");
    const std::string tmpdir = Dir("tmpdir");
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
        ScopedEnv tmp("TMPDIR", tmpdir.c_str());
        EXPECT_EQ(GetTempPathString(), Own(runtime) + "/");
        const mode_t mode = ModeOf(Own(runtime));
        EXPECT_TRUE(S_ISDIR(mode));
        EXPECT_EQ(mode & 07777, 0700u);
        // Asked again: the same folder, still fine.
        EXPECT_EQ(GetTempPathString(), Own(runtime) + "/");
    }
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", nullptr);
        ScopedEnv tmp("TMPDIR", (tmpdir + "///").c_str());
        EXPECT_EQ(GetTempPathString(), Own(tmpdir) + "/");
    }
    {
        // Relative and empty bases are not used.
        ScopedEnv xdg("XDG_RUNTIME_DIR", "");
        ScopedEnv tmp("TMPDIR", "relative/dir");
        EXPECT_EQ(GetTempPathString(), Own("/tmp") + "/");
    }
}

TEST_F(TempPathTest, CreatesTheFolderPrivateWhateverTheUmask)
{
    const std::string base = Dir("base");
    ScopedEnv xdg("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv tmp("TMPDIR", base.c_str());
    const mode_t old = ::umask(0277); // would leave the owner only r-x
    const std::string path = GetTempPathString();
    ::umask(old);
    EXPECT_EQ(path, Own(base) + "/");
    EXPECT_EQ(ModeOf(Own(base)) & 07777, 0700u);
}

TEST_F(TempPathTest, FoldersOthersCouldReachAreRefused)
{
    const std::string elsewhere = Dir("elsewhere");
    struct Case {
        const char* name;
        // Puts something at the folder's name under the base.
        void (*plant)(const std::string& folder, const std::string& elsewhere);
    };
    const Case cases[] = {
        {"a symbolic link to a directory",
         [](const std::string& folder, const std::string& target) {
             ASSERT_EQ(::chmod(target.c_str(), 0700), 0);
             ASSERT_EQ(::symlink(target.c_str(), folder.c_str()), 0);
         }},
        {"a directory open to everyone",
         [](const std::string& folder, const std::string&) {
             ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
             ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
         }},
        {"a directory the group can read",
         [](const std::string& folder, const std::string&) {
             ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
             ASSERT_EQ(::chmod(folder.c_str(), 0740), 0);
         }},
        {"someone else's directory",
         [](const std::string& folder, const std::string&) {
             ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
             ASSERT_EQ(::chown(folder.c_str(), ::geteuid() == 65534 ? 65533 : 65534, ::getegid()), 0)
                 << "changing a folder's owner needs root";
         }},
        {"a regular file",
         [](const std::string& folder, const std::string&) {
             const int fd = ::open(folder.c_str(), O_CREAT | O_WRONLY, 0600);
             ASSERT_GE(fd, 0);
             ::close(fd);
         }},
        {"a directory its owner cannot write",
         [](const std::string& folder, const std::string&) {
             ASSERT_EQ(::mkdir(folder.c_str(), 0500), 0);
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bad = Dir("bad" + std::to_string(n));
        const std::string good = Dir("good" + std::to_string(n));
        ++n;
        c.plant(Own(bad), elsewhere);
        if (::testing::Test::HasFatalFailure())
            return;
        ScopedEnv xdg("XDG_RUNTIME_DIR", bad.c_str());
        ScopedEnv tmp("TMPDIR", good.c_str());
        // The planted folder is passed over for the next base.
        EXPECT_EQ(GetTempPathString(), Own(good) + "/");
        // ...and left as it was.
        struct stat st;
        EXPECT_EQ(::lstat(Own(bad).c_str(), &st), 0);
    }
}

TEST_F(TempPathTest, BufferSizesFollowWin32)
{
    const std::string base = Dir("sizes");
    ScopedEnv xdg("XDG_RUNTIME_DIR", base.c_str());
    const std::string expected = Own(base) + "/";
    const DWORD length = static_cast<DWORD>(expected.size());

    // Too small by one (no room for the terminator) or more: the size
    // needed, with the terminator, and nothing written.
    for (DWORD size : {DWORD(0), DWORD(1), length - 1, length}) {
        SCOPED_TRACE(size);
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetTempPathA(size, buffer), length + 1);
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[length - 1], '#');
        EXPECT_EQ(buffer[length], '#');
    }
    EXPECT_EQ(GetTempPathA(0, nullptr), length + 1);
    EXPECT_EQ(GetTempPathA(100, nullptr), length + 1);

    // Just big enough: the path, its terminator, and its length.
    char buffer[512];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetTempPathA(length + 1, buffer), length);
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(buffer[length + 1], '#');
    EXPECT_EQ(GetTempPath(sizeof buffer, buffer), length);
}

TEST_F(TempPathTest, NoUsableBaseGivesZero)
{
    // Every base planted, /tmp included: done in a child process with a
    // mount namespace of its own, where /tmp is a fresh file system, so the
    // real /tmp is never touched.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(77);
        if (::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0)
            ::_exit(77);
        const std::string tmpFolder = "/tmp/afx-" + std::to_string(::geteuid());
        if (::mkdir(tmpFolder.c_str(), 0777) != 0 || ::chmod(tmpFolder.c_str(), 0777) != 0)
            ::_exit(3);
        ::setenv("XDG_RUNTIME_DIR", "/nonexistent/runtime", 1);
        ::setenv("TMPDIR", "/tmp", 1);
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        const DWORD n = GetTempPathA(sizeof buffer, buffer);
        ::_exit(n == 0 && buffer[0] == '#' ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "GetTempPath gave a folder when none was private";
}

TEST_F(TempPathTest, NoFollowRefusesALinkPlantedAtAFileName)
{
    // Someone plants a link at the name a temporary file will take, pointing
    // at a file of ours.
    const std::string dir = Dir("files");
    const std::string victim = m_root + "/victim.txt";
    {
        CFile file(victim.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("precious", 8);
    }
    const std::string name = dir + "/temp0.txt";
    ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);

    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(name.c_str(),
                           CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::osNoFollow |
                               CFile::osPrivate,
                           &error));
    EXPECT_EQ(error.m_lOsError, ELOOP);
    EXPECT_FALSE(file.IsOpen());
    struct stat st;
    ASSERT_EQ(::stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 8) << "the link was followed and its target truncated";

    // Without the link, the same flags create a file only its owner reads.
    ASSERT_EQ(::unlink(name.c_str()), 0);
    const mode_t old = ::umask(0);
    const BOOL opened = file.Open(name.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive |
                                                    CFile::osNoFollow | CFile::osPrivate);
    ::umask(old);
    ASSERT_TRUE(opened);
    file.Close();
    EXPECT_EQ(ModeOf(name) & 07777, 0600u);
}
