// luma10 run as a program: --open names a sub-window, and the screenshot is
// of that window.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/scratch.h"
#include "windows/start_window.h"

namespace {

struct Run_t {
    int code = -1;
    std::string err;
};

std::string TempDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/luma10-program-test-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

// Runs luma10 offscreen with its configuration in a folder of its own.
Run_t Luma10(const std::string& args) {
    const std::string dir = TempDir();
    const std::string err_file = dir + "/stderr";
    const std::string cmd = "LUMA10_CONFIG_DIR=" + dir + " SDL_VIDEODRIVER=offscreen " + LUMA10_PATH + " " + args +
                            " >/dev/null 2>" + err_file;
    Run_t r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = scratch::slurp(err_file);
    return r;
}

// Width and height from a PNG's header; 0, 0 when it is not one.
std::pair<unsigned, unsigned> PngSize(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    unsigned char h[24] = {};
    if (!f.read(reinterpret_cast<char*>(h), sizeof h) || h[1] != 'P' || h[2] != 'N' || h[3] != 'G') return {0, 0};
    auto be32 = [&](int i) { return unsigned(h[i]) << 24 | unsigned(h[i + 1]) << 16 | unsigned(h[i + 2]) << 8 | h[i + 3]; };
    return {be32(16), be32(20)};
}

}  // namespace

TEST(Program, OpenWithAnUnknownNameIsAUsageErrorListingTheNames) {
    const Run_t r = Luma10("--open bogus");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("luma10: нет окна с именем «bogus»"), std::string::npos) << r.err;
    for (std::string_view n : GStart::SubWindowNames()) EXPECT_NE(r.err.find(n), std::string::npos) << n;
    const Run_t bare = Luma10("--open");
    EXPECT_EQ(bare.code, 2);
    EXPECT_NE(bare.err.find("luma10: нет значения у --open"), std::string::npos) << bare.err;
    EXPECT_NE(bare.err.find("Использование: luma10 "), std::string::npos) << bare.err;
}

TEST(Program, OptionErrorsAreToldInRussianWithTheUsage) {
    const Run_t unknown = Luma10("--bogus");
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("luma10: неизвестный параметр: --bogus"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("Использование: luma10 [--connect]"), std::string::npos) << unknown.err;
    const Run_t after = Luma10("--after 1x");
    EXPECT_EQ(after.code, 2);
    EXPECT_NE(after.err.find("luma10: недопустимое значение --after"), std::string::npos) << after.err;
}

TEST(Program, ScreenshotWithOpenIsOfTheWholeSubWindow) {
    const std::string shot = TempDir() + "/thresholds.png";
    std::remove(shot.c_str());
    const Run_t r = Luma10("--open thresholds --screenshot " + shot + " --after 300");
    ASSERT_EQ(r.code, 0) << r.err;
    // The thresholds window's own size, not the main window's 1024 x 768.
    EXPECT_EQ(PngSize(shot), std::make_pair(568u, 280u));
}

// A damaged configuration file is put aside as .bad before the exit writes
// the start-up values, and the user is told; a FIFO in its place neither
// blocks the start nor is replaced.
TEST(Program, DamagedOrSpecialConfigurationFileIsKeptAndReported) {
    const std::string file = TempDir() + "/luma10.json", shot = TempDir() + "/main.png";
    const std::string damaged = "{\"app_config\": {\"connection\": \"\xff\"}}";
    std::ofstream(file, std::ios::binary) << damaged;
    Run_t r = Luma10("--screenshot " + shot + " --after 300");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("повреждён (это не JSON настроек в UTF-8). Он сохранён как " + file + ".bad."),
              std::string::npos) << r.err;
    EXPECT_EQ(scratch::slurp(file + ".bad"), damaged);
    const std::string written = scratch::slurp(file);
    EXPECT_NE(written.find("\"app_config\""), std::string::npos) << written;

    std::remove(file.c_str());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    r = Luma10("--screenshot " + shot + " --after 300");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("не прочитан: это не обычный файл"), std::string::npos) << r.err;
    struct stat st;
    ASSERT_EQ(::lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::remove(file.c_str());
}
