// The three programs share one folder, and with it the configuration file
// luma10.json and the ports folder: the simulator started with --com N is COM N
// for luma10ctl and for the configurator alike, with nothing set in the
// environment (the README's recipe).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/cli/ctl_run.h"

#ifdef LUMA10_PATH
#include <png.h>
#endif

namespace fs = std::filesystem;

namespace {

using ctl_test::Result;
using ctl_test::slurp;
using ctl_test::wait_for;

// The environment of a user who set nothing: no configuration folder
// override (the tests' own is dropped), and none of the variables that
// extra sets, but those as extra sets them.
std::vector<std::string> plain_environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    auto dropped = [&](const std::string& e) {
        if (e.rfind("LUMA10_CONFIG_DIR=", 0) == 0) return true;
        for (const std::string& x : extra)
            if (e.rfind(x.substr(0, x.find('=') + 1), 0) == 0) return true;
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (!dropped(*e)) env.emplace_back(*e);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// Starts program with args in that environment, stdout and stderr into files;
// returns its pid.
pid_t start(const fs::path& program, const std::vector<std::string>& args, const fs::path& out,
            const fs::path& err, const std::vector<std::string>& extra_env = {}) {
    return ctl_test::spawn(program, args, out, err, plain_environment(extra_env));
}

Result run(const fs::path& program, const std::vector<std::string>& args, const fs::path& scratch,
        const std::vector<std::string>& extra_env = {}) {
    Result r;
    const pid_t pid = start(program, args, scratch / "run.out", scratch / "run.err", extra_env);
    if (pid < 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(scratch / "run.out");
    r.err = slurp(scratch / "run.err");
    return r;
}

// A simulator started as a user starts it, stopped with SIGTERM as Ctrl+C
// would (it then removes its link from the ports folder).
class SimProcess {
public:
    SimProcess(const fs::path& program, const std::vector<std::string>& args, const fs::path& scratch,
               const std::vector<std::string>& extra_env = {})
        : log_(scratch / "sim.err") {
        pid_ = start(program, args, scratch / "sim.out", log_, extra_env);
    }
    ~SimProcess() { stop(); }
    bool running() const { return pid_ > 0; }
    // Started, and its COM number registered as link.
    bool up(const fs::path& link) const { return running() && wait_for([&] { return fs::exists(link); }); }
    std::string log() const { return slurp(log_); }
    int stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    fs::path log_;
};

class ProgramsFolder : public scratch::Test {
protected:
    ProgramsFolder() : scratch::Test("luma_programs") {}

    // program and the simulator copied into a folder of their own with the
    // portable marker, as a user unpacks them.
    fs::path portable_folder(const fs::path& program) {
        const fs::path folder = dir_ / "programs";
        fs::create_directories(folder);
        std::ofstream(folder / "luma10.portable") << "portable\n";
        fs::copy_file(program, folder / program.filename());
        fs::copy_file(LUMA10_SIM_PATH, folder / "luma10-sim");
        return folder;
    }
};

// The configurator's environment here: drawn offscreen, and in sanitizer
// builds the suppressions of the libraries' own leaks and races.
const std::vector<std::string> kWindowEnvironment = {
    "SDL_VIDEODRIVER=offscreen", "LSAN_OPTIONS=suppressions=" LUMA_SOURCE_DIR "/tests/lsan.supp",
    "TSAN_OPTIONS=suppressions=" LUMA_SOURCE_DIR "/tests/tsan.supp"};

// A COM number nobody has registered in the ports folder of dir.
unsigned free_com(const fs::path& dir) {
    for (unsigned n = 200; n < 255; ++n)
        if (!fs::exists(fs::symlink_status(dir / "ports" / ("com" + std::to_string(n))))) return n;
    return 0;
}

}  // namespace

// The recipe in the build folder itself: the simulator on a COM number, then
// a program of the same folder opens that number without being told where.
TEST_F(ProgramsFolder, SimulatorsComNumberIsOpenedByLuma10ctlOfTheSameFolder) {
    const fs::path build = fs::path(LUMA10CTL_PATH).parent_path();
    ASSERT_EQ(fs::path(LUMA10_SIM_PATH).parent_path(), build);
    const unsigned com = free_com(build);
    ASSERT_NE(com, 0u);
    const fs::path link = build / "ports" / ("com" + std::to_string(com));
    SimProcess sim(LUMA10_SIM_PATH, {"--com", std::to_string(com), "--address", "9"}, dir_);
    ASSERT_TRUE(sim.up(link)) << sim.log();

    Result r = run(LUMA10CTL_PATH, {"--port", "COM" + std::to_string(com), "--address", "9", "read", "1002", "1"},
                dir_);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1002 9\n");  // the detector's own Modbus address
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Copied elsewhere with the portable marker, the programs take their settings
// from luma10.json of their folder (the configurator's file, not one named
// after luma10ctl).
TEST_F(ProgramsFolder, Luma10ctlTakesItsDefaultsFromTheConfiguratorsFile) {
    const fs::path folder = portable_folder(LUMA10CTL_PATH);
    const fs::path ctl = folder / "luma10ctl", sim_program = folder / "luma10-sim";
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":4,"driver_config":{
        "port_config":{"port":6,"speed":19200,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":700}},
        "params":{"balloon_strength":12.5}}})";
    std::ofstream(folder / "luma10ctl.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}}}})";

    Result r = run(ctl, {"settings"}, dir_);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("port=6\nspeed=19200\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("block_id=4\nballoon_strength=12.5\n"), std::string::npos) << r.out;

    SimProcess sim(sim_program, {"--com", "6", "--address", "4", "--speed", "19200"}, dir_);
    ASSERT_TRUE(sim.up(folder / "ports" / "com6")) << sim.log();
    r = run(ctl, {"read", "1002", "1"}, dir_);  // COM6, 19200 baud, address 4: all from the file
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1002 4\n");
}

// Installs the build into prefix (as `cmake --install build --prefix ...`).
bool install_into(const fs::path& prefix, const fs::path& scratch, std::string* log) {
    Result r = run(LUMA_CMAKE_COMMAND, {"--install", LUMA_BINARY_DIR, "--prefix", prefix.string()}, scratch);
    *log = r.out + r.err;
    return r.code == 0;
}

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Installed programs have no portable marker: they keep everything in the
// user's ~/.config/luma10, never in their bin folder (which root could write).
TEST_F(ProgramsFolder, InstalledProgramsKeepTheirFilesInTheUsersConfigurationFolder) {
    const fs::path prefix = dir_ / "prefix", home = dir_ / "home", bin = prefix / "bin";
    fs::create_directories(home);
    std::string log;
    ASSERT_TRUE(install_into(prefix, dir_, &log)) << log;
    const std::set<std::string> installed = names_in(bin);
    EXPECT_EQ(installed.count("luma10.portable"), 0u);
    const std::vector<std::string> user = {"HOME=" + home.string(), "XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR="};
    const fs::path config = home / ".config" / "luma10";

    SimProcess sim(bin / "luma10-sim", {"--com", "3", "--address", "2"}, dir_, user);
    ASSERT_TRUE(sim.up(config / "ports" / "com3")) << sim.log();
    Result r = run(bin / "luma10ctl", {"--port", "3", "--address", "2", "read", "1002", "1"}, dir_, user);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1002 2\n");
#ifdef LUMA10_PATH
    std::vector<std::string> window = user;
    window.insert(window.end(), kWindowEnvironment.begin(), kWindowEnvironment.end());
    r = run(bin / "luma10", {"--screenshot", (dir_ / "shot.png").string(), "--after", "300"}, dir_, window);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(config / "luma10.json"));
    EXPECT_TRUE(fs::is_regular_file(config / "CE31DF424772820D528494BA32C11AC5.lock"));
#endif
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(names_in(bin), installed);
}

// A configuration folder another user may write in is refused with a
// message, and its COM links are not followed.
TEST_F(ProgramsFolder, Luma10ctlRefusesAConfigurationFolderOthersMayWriteIn) {
    const fs::path shared = dir_ / "shared";
    fs::create_directories(shared / "ports");
    fs::create_symlink("/dev/null", shared / "ports" / "com4");
    fs::permissions(shared, fs::perms::all);
    Result r = run(LUMA10CTL_PATH, {"--port", "4", "read", "1002", "1"}, dir_,
                       {"LUMA10_CONFIG_DIR=" + shared.string()});
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("luma10ctl: Нет папки настроек: в папку " + shared.string() +
                         " могут писать другие пользователи. Действуют начальные настройки.\n"),
              std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("/dev/null"), std::string::npos) << r.err;
}

#ifdef LUMA10_PATH
// The whole recipe with the configurator: it connects to the COM number of its
// configuration file, which the simulator of its folder has registered.
TEST_F(ProgramsFolder, ConfiguratorOpensTheSimulatorsComNumber) {
    const fs::path folder = portable_folder(LUMA10_PATH);
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}}}})";

    SimProcess sim(folder / "luma10-sim", {"--com", "1", "--verbose"}, dir_);
    ASSERT_TRUE(sim.up(folder / "ports" / "com1")) << sim.log();
    const pid_t luma10 = start(folder / "luma10", {"--connect"}, dir_ / "luma10.out", dir_ / "luma10.err",
                               kWindowEnvironment);
    ASSERT_GT(luma10, 0);
    // The link check reads the factory number, registers 1152 and 1153.
    const bool checked = wait_for([&] { return sim.log().find("01 03 04 80 00 02") != std::string::npos; }, 60000);
    kill(luma10, SIGTERM);
    waitpid(luma10, nullptr, 0);
    EXPECT_TRUE(checked) << sim.log() << slurp(dir_ / "luma10.err");
}

// A failed read is a line on standard output only when asked for; the line
// names the block, and reaches a file on standard output as it is written.
TEST_F(ProgramsFolder, ConfiguratorReportsFailedReadsOnlyWhenVerbose) {
    const fs::path folder = portable_folder(LUMA10_PATH);
    SimProcess sim(folder / "luma10-sim", {"--com", "1", "--silent", "--verbose"}, dir_);
    ASSERT_TRUE(sim.up(folder / "ports" / "com1")) << sim.log();
    // Time-out 100 ms: a failed link check at once, another every 2.5 s.
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":100}}}})";
    Result r = run(folder / "luma10", {"--connect", "--screenshot", (dir_ / "shot.png").string(), "--after",
                                           "4000"}, dir_, kWindowEnvironment);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("Таймаут приёма данных"), std::string::npos) << r.out;

    // The link check reads the factory number, registers 1152 and 1153.
    const pid_t luma10 = start(folder / "luma10", {"--connect", "--verbose"}, dir_ / "verbose.out",
                               dir_ / "verbose.err", kWindowEnvironment);
    ASSERT_GT(luma10, 0);
    const std::string line = "Чтение регистров 1152..1153 (адрес 1): Modbus-драйвер: Таймаут приёма данных\n";
    const bool seen = wait_for([&] { return slurp(dir_ / "verbose.out").find(line) != std::string::npos; }, 60000);
    kill(luma10, SIGTERM);
    waitpid(luma10, nullptr, 0);
    EXPECT_TRUE(seen) << slurp(dir_ / "verbose.out");
    // The reads did fail: the line carried requests that were not answered.
    EXPECT_NE(sim.log().find("01 03 04 80 00 02"), std::string::npos) << sim.log();
}

// Started through a link, the program is the link: its name (and with it the
// marker that shows «Концентрации 55») and its configuration file beside the
// link, luma10-qzv.json, as the README's recipe says.
TEST_F(ProgramsFolder, ConfiguratorStartedThroughALinkIsNamedAndConfiguredAsTheLink) {
    const fs::path folder = dir_ / "elsewhere";
    fs::create_directories(folder);
    fs::create_symlink(LUMA10_PATH, folder / "luma10-qzv");
    std::ofstream(folder / "luma10-qzv.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}},
        "params":{"balloon_strength":12.5}}})";
    Result r = run(folder / "luma10-qzv", {"--screenshot", (dir_ / "shot.png").string(), "--after", "300"},
                       dir_, kWindowEnvironment);
    EXPECT_EQ(r.code, 0) << r.err;
    // Read at start and written back at exit: the value comes back as the
    // program writes it.
    EXPECT_NE(slurp(folder / "luma10-qzv.json").find("\"balloon_strength\": 12.5\n"), std::string::npos)
        << slurp(folder / "luma10-qzv.json");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"luma10-qzv", "luma10-qzv.json",
                                                       "CE31DF424772820D528494BA32C11AC5.lock"}));
}

// The desktop's icon: every size desktops ask for and a scalable one, each
// with a transparent background (not the pictures' magenta key colour).
TEST_F(ProgramsFolder, InstalledIconHasEverySizeAndATransparentBackground) {
    const fs::path prefix = dir_ / "prefix";
    std::string log;
    ASSERT_TRUE(install_into(prefix, dir_, &log)) << log;
    const fs::path icons = prefix / "share" / "icons" / "hicolor";
    EXPECT_TRUE(fs::is_regular_file(icons / "scalable" / "apps" / "luma10.svg"));
    for (unsigned size : {16u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string n = std::to_string(size);
        const fs::path png = icons / (n + "x" + n) / "apps" / "luma10.png";
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str())) << png << ": " << image.message;
        image.format = PNG_FORMAT_RGBA;
        std::vector<png_byte> px(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) << png << ": " << image.message;
        EXPECT_EQ(image.width, size);
        EXPECT_EQ(image.height, size);
        auto at = [&](unsigned x, unsigned y) { return &px[(size_t(y) * size + x) * 4]; };
        EXPECT_EQ(at(0, 0)[3], 0) << png << ": the corner must be transparent";
        EXPECT_EQ(at(size / 2, size / 2)[3], 255) << png << ": the detector itself is opaque";
        for (unsigned y = 0; y < size; ++y)
            for (unsigned x = 0; x < size; ++x) {
                const png_byte* p = at(x, y);
                if (p[3] == 255 && p[0] == 255 && p[1] == 0 && p[2] == 255) FAIL() << png << ": magenta at " << x << "," << y;
            }
    }
}
#endif
