// The Windows platform layer against the system's own objects.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "foundation/instance_mutex.h"
#include "platform/files.h"
#include "platform/numeric_locale.h"
#include "platform/paths.h"
#include "platform/serial.h"
#include "platform/time.h"

namespace fs = std::filesystem;

namespace {

// The instance mutex is the system's named mutex: any process sees it under
// the application id while the program runs, and a second start learns that
// it already exists.
TEST(Win32Platform, InstanceMutexIsTheNamedSystemMutex) {
    const wchar_t* name = L"CE31DF424772820D528494BA32C11AC5";
    InstanceMutex_t first;
    bool already = true;
    ASSERT_TRUE(first.Create(kProgramAppId, &already));
    EXPECT_FALSE(already);
    HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, name);
    EXPECT_NE(seen, nullptr);
    if (seen) CloseHandle(seen);

    InstanceMutex_t second;
    ASSERT_TRUE(second.Create(kProgramAppId, &already));
    EXPECT_TRUE(already);
    second.Close();
    first.Close();
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name), nullptr);
}

// The program's folder holds the configuration when the user may write
// there; LUMA10_CONFIG_DIR chooses another.
TEST(Win32Platform, ConfigurationFolderIsTheProgramsOrTheChosenOne) {
    const std::string exe = plat::executable_path();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(plat::program_name(), "win32_tests");
    const std::string chosen = (fs::temp_directory_path() / ("luma_cfg_" + std::to_string(GetCurrentProcessId())))
                                   .string();
    _putenv_s("LUMA10_CONFIG_DIR", "");
    EXPECT_EQ(plat::config_dir(), fs::path(exe).parent_path().string());
    _putenv_s("LUMA10_CONFIG_DIR", chosen.c_str());
    EXPECT_EQ(plat::config_dir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    _putenv_s("LUMA10_CONFIG_DIR", "");
    fs::remove_all(chosen);
}

// The export's numbers follow the user's locale; "C" always gives a point.
TEST(Win32Platform, NumericLocaleFollowsTheUsersDecimalSeparator) {
    wchar_t sep[8] = L"";
    ASSERT_GT(GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8), 0);
    char buf[32];
    {
        plat::ScopedNumericLocale user("");
        ASSERT_TRUE(user.active());
        std::snprintf(buf, sizeof buf, "%.2f", 12.3);
    }
    EXPECT_EQ(buf[2], char(sep[0])) << buf;
    {
        plat::ScopedNumericLocale c("C");
        std::snprintf(buf, sizeof buf, "%.2f", 12.3);
    }
    EXPECT_STREQ(buf, "12.30");
    std::snprintf(buf, sizeof buf, "%.2f", 12.3);
    EXPECT_STREQ(buf, "12.30") << "the guard restores the previous locale";
    EXPECT_FALSE(plat::numeric_locale_available("xx_NOWHERE.UTF-8"));
}

// A COM number nobody has is "not found"; a file opened as a port is "not a
// serial line"; numbers above 9 use the device namespace.
TEST(Win32Platform, SerialOpenTellsWhatIsBehindAPath) {
    EXPECT_EQ(plat::com_device_path(12), "\\\\.\\COM12");
    EXPECT_EQ(plat::com_device_path(0), "");
    plat::Serial_t s;
    EXPECT_EQ(s.open(plat::com_device_path(199), plat::SerialLine{}), plat::SerialOpen::not_found);
    const std::string file = (fs::temp_directory_path() / "luma_not_a_port.bin").string();
    { std::FILE* f = std::fopen(file.c_str(), "wb"); ASSERT_NE(f, nullptr); std::fclose(f); }
    EXPECT_EQ(s.open(file, plat::SerialLine{}), plat::SerialOpen::not_serial);
    EXPECT_FALSE(s.is_open());
    fs::remove(file);
}

// Errors without an errno of their own keep the system's code and sentence.
TEST(Win32Platform, FileErrorsAreToldInWords) {
    plat::File_t f;
    const std::string missing = (fs::temp_directory_path() / "luma_no_such_folder" / "x.txt").string();
    EXPECT_FALSE(f.create_new(missing));
    EXPECT_EQ(plat::last_error(), ENOENT);
    EXPECT_EQ(plat::error_text(plat::last_error()), "Нет такого файла или папки");
    EXPECT_TRUE(plat::delete_file(missing));
    EXPECT_TRUE(plat::is_absent(missing));
}

}  // namespace
