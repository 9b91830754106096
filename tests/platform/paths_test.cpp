// Which folders the programs trust with their configuration, ports and lock.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;

namespace {

// Sets or clears an environment variable for one test, and puts it back.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class Folders : public scratch::Test {
protected:
    Folders() : scratch::Test("luma_paths") {}
};

}  // namespace

// A folder another user may write in (or owns) could hold links planted for
// this user: it is not a configuration folder, and nothing falls back to one.
TEST_F(Folders, AFolderOthersMayWriteInIsNotUsed) {
    const fs::path shared = dir_ / "shared";
    fs::create_directories(shared / "ports");
    fs::permissions(shared, fs::perms::all);  // 0777, as /tmp without the sticky bit
    EnvVar config("LUMA10_CONFIG_DIR", shared.c_str());
    EnvVar runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(plat::config_dir(), "");
    EXPECT_EQ(plat::ports_dir(), "");
    EXPECT_EQ(plat::config_dir_problem(), "Нет папки настроек: в папку " + shared.string() +
                                              " могут писать другие пользователи");
    // The instance lock has no folder either: none is made anywhere.
    plat::InstanceLock_t lock;
    bool already = true;
    EXPECT_FALSE(lock.open("luma_paths_test_lock", &already));
    EXPECT_FALSE(fs::exists(shared / "luma_paths_test_lock.lock"));
    EXPECT_FALSE(fs::exists(fs::path("/tmp") / "luma_paths_test_lock.lock"));

    // The user's own folder is used, but a ports folder in it that others
    // may write in is not trusted for its links.
    fs::permissions(shared, fs::perms::owner_all);
    EXPECT_EQ(plat::config_dir(), shared.string());
    fs::permissions(shared / "ports", fs::perms::all);
    EXPECT_EQ(plat::ports_dir(), "");
    fs::permissions(shared / "ports", fs::perms::owner_all);
    EXPECT_EQ(plat::ports_dir(), (shared / "ports").string());

    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    ASSERT_EQ(::chown(shared.c_str(), 65534, 65534), 0);
    EXPECT_EQ(plat::config_dir(), "");
    EXPECT_EQ(plat::config_dir_problem(),
              "Нет папки настроек: папка " + shared.string() + " принадлежит другому пользователю");
}

// Without HOME the configuration folder is found from the user's entry in the
// password database, never in a shared folder such as /tmp.
TEST_F(Folders, WithoutHomeTheUsersOwnHomeIsUsed) {
    EnvVar config("LUMA10_CONFIG_DIR", nullptr);
    EnvVar home("HOME", nullptr);
    EnvVar xdg("XDG_CONFIG_HOME", nullptr);
    const passwd* pw = ::getpwuid(::geteuid());
    ASSERT_NE(pw, nullptr);
    // The test program has no portable marker beside it.
    ASSERT_FALSE(fs::exists(fs::path(plat::executable_path()).parent_path() / plat::kPortableMarker));
    EXPECT_EQ(plat::config_dir(), std::string(pw->pw_dir) + "/.config/luma10");

    EnvVar own_xdg("XDG_CONFIG_HOME", dir_.c_str());
    EXPECT_EQ(plat::config_dir(), (dir_ / "luma10").string());
    EXPECT_EQ(fs::status(dir_ / "luma10").permissions() & fs::perms::mask, fs::perms::owner_all);
}

// The lock file is never opened through a link: a link planted under its name
// would make the program create or lock a file elsewhere.
TEST_F(Folders, LockFileIsNeverOpenedThroughALink) {
    EnvVar config("LUMA10_CONFIG_DIR", dir_.c_str());
    EnvVar runtime("XDG_RUNTIME_DIR", nullptr);
    fs::create_symlink(dir_ / "elsewhere", dir_ / "planted.lock");
    plat::InstanceLock_t lock;
    bool already = true;
    EXPECT_FALSE(lock.open("planted", &already));
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere"));

    ASSERT_TRUE(lock.open("own", &already));
    EXPECT_FALSE(already);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_ / "own.lock")));
}

// Neither a device nor a FIFO is read as a file: /dev/zero would fill the
// memory, a FIFO without a writer would block.
TEST_F(Folders, OnlyRegularFilesAreRead) {
    std::string bytes;
    EXPECT_EQ(plat::read_regular_file("/dev/zero", 1024, bytes), plat::ReadResult::not_regular);
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(plat::read_regular_file(fifo, 1024, bytes), plat::ReadResult::not_regular);
    EXPECT_EQ(plat::read_regular_file((dir_ / "none").string(), 1024, bytes), plat::ReadResult::absent);
}
