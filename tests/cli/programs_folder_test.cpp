// The three programs share one folder, and with it the configuration file
// luma10.json and the ports folder: the simulator started with --com N is COM N
// for luma10ctl and for the configurator alike, with nothing set in the
// environment (the README's recipe).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The environment of a user who set nothing: no configuration folder
// override (the tests' own is dropped).
std::vector<std::string> plain_environment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("LUMA10_CONFIG_DIR=", 0) != 0) env.emplace_back(*e);
    return env;
}

// Starts program with args, stdout and stderr into files; returns its pid.
pid_t start(const fs::path& program, const std::vector<std::string>& args, const fs::path& out,
            const fs::path& err, const std::vector<std::string>& extra_env = {}) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = plain_environment();
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

struct ProgramRun {
    int code = -1;
    std::string out, err;
};

ProgramRun run(const fs::path& program, const std::vector<std::string>& args, const fs::path& scratch,
        const std::vector<std::string>& extra_env = {}) {
    ProgramRun r;
    const pid_t pid = start(program, args, scratch / "run.out", scratch / "run.err", extra_env);
    if (pid < 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(scratch / "run.out");
    r.err = slurp(scratch / "run.err");
    return r;
}

bool wait_for(const std::function<bool()>& done, int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A simulator started as a user starts it, stopped with SIGTERM as Ctrl+C
// would (it then removes its link from the ports folder).
class SimProcess {
public:
    SimProcess(const fs::path& program, const std::vector<std::string>& args, const fs::path& scratch)
        : log_(scratch / "sim.err") {
        pid_ = start(program, args, scratch / "sim.out", log_);
    }
    ~SimProcess() { stop(); }
    bool running() const { return pid_ > 0; }
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

class ProgramsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / ("luma_programs_" + std::to_string(getpid()) + "_" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }
    fs::path scratch_;
};

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
    SimProcess sim(LUMA10_SIM_PATH, {"--com", std::to_string(com), "--address", "9"}, scratch_);
    ASSERT_TRUE(sim.running());
    ASSERT_TRUE(wait_for([&] { return fs::exists(link); })) << sim.log();

    ProgramRun r = run(LUMA10CTL_PATH, {"--port", "COM" + std::to_string(com), "--address", "9", "read", "1002", "1"},
                scratch_);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1002 9\n");  // the detector's own Modbus address
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// Copied elsewhere, the programs take their settings from luma10.json of their
// folder (the configurator's file, not one named after luma10ctl).
TEST_F(ProgramsFolder, Luma10ctlTakesItsDefaultsFromTheConfiguratorsFile) {
    const fs::path folder = scratch_ / "programs";
    fs::create_directories(folder);
    const fs::path ctl = folder / "luma10ctl", sim_program = folder / "luma10-sim";
    fs::copy_file(LUMA10CTL_PATH, ctl);
    fs::copy_file(LUMA10_SIM_PATH, sim_program);
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":4,"driver_config":{
        "port_config":{"port":6,"speed":19200,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":700}},
        "params":{"balloon_strength":12.5}}})";
    std::ofstream(folder / "luma10ctl.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}}}})";

    ProgramRun r = run(ctl, {"settings"}, scratch_);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("port=6\nspeed=19200\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("block_id=4\nballoon_strength=12.5\n"), std::string::npos) << r.out;

    SimProcess sim(sim_program, {"--com", "6", "--address", "4", "--speed", "19200"}, scratch_);
    ASSERT_TRUE(sim.running());
    ASSERT_TRUE(wait_for([&] { return fs::exists(folder / "ports" / "com6"); })) << sim.log();
    r = run(ctl, {"read", "1002", "1"}, scratch_);  // COM6, 19200 baud, address 4: all from the file
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1002 4\n");
}

#ifdef LUMA10_PATH
// The configurator's environment here: drawn offscreen, and in sanitizer
// builds the suppressions of the libraries' own leaks and races.
const std::vector<std::string> kWindowEnvironment = {
    "SDL_VIDEODRIVER=offscreen", "LSAN_OPTIONS=suppressions=" LUMA_SOURCE_DIR "/tests/lsan.supp",
    "TSAN_OPTIONS=suppressions=" LUMA_SOURCE_DIR "/tests/tsan.supp"};

// The whole recipe with the configurator: it connects to the COM number of its
// configuration file, which the simulator of its folder has registered.
TEST_F(ProgramsFolder, ConfiguratorOpensTheSimulatorsComNumber) {
    const fs::path folder = scratch_ / "programs";
    fs::create_directories(folder);
    fs::copy_file(LUMA10_PATH, folder / "luma10");
    fs::copy_file(LUMA10_SIM_PATH, folder / "luma10-sim");
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":1000}}}})";

    SimProcess sim(folder / "luma10-sim", {"--com", "1", "--verbose"}, scratch_);
    ASSERT_TRUE(sim.running());
    ASSERT_TRUE(wait_for([&] { return fs::exists(folder / "ports" / "com1"); })) << sim.log();
    const pid_t luma10 = start(folder / "luma10", {"--connect"}, scratch_ / "luma10.out", scratch_ / "luma10.err",
                               kWindowEnvironment);
    ASSERT_GT(luma10, 0);
    // The link check reads the factory number, registers 1152 and 1153.
    const bool checked = wait_for([&] { return sim.log().find("01 03 04 80 00 02") != std::string::npos; }, 60);
    kill(luma10, SIGTERM);
    waitpid(luma10, nullptr, 0);
    EXPECT_TRUE(checked) << sim.log() << slurp(scratch_ / "luma10.err");
}

// A failed read is a line on standard output only when asked for; the line
// names the block, and reaches a file on standard output as it is written.
TEST_F(ProgramsFolder, ConfiguratorReportsFailedReadsOnlyWhenVerbose) {
    const fs::path folder = scratch_ / "programs";
    fs::create_directories(folder);
    fs::copy_file(LUMA10_PATH, folder / "luma10");
    fs::copy_file(LUMA10_SIM_PATH, folder / "luma10-sim");
    SimProcess sim(folder / "luma10-sim", {"--com", "1", "--silent", "--verbose"}, scratch_);
    ASSERT_TRUE(sim.running());
    ASSERT_TRUE(wait_for([&] { return fs::exists(folder / "ports" / "com1"); })) << sim.log();
    // Time-out 100 ms: a failed link check at once, another every 2.5 s.
    std::ofstream(folder / "luma10.json") << R"({"app_config":{"connection":{"block_id":1,"driver_config":{
        "port_config":{"port":1,"speed":9600,"parity":0,"stop_bits":0,"before_send_delay":0},"timeout":100}}}})";
    ProgramRun r = run(folder / "luma10", {"--connect", "--screenshot", (scratch_ / "shot.png").string(), "--after",
                                           "4000"}, scratch_, kWindowEnvironment);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("Таймаут приёма данных"), std::string::npos) << r.out;

    // The link check reads the factory number, registers 1152 and 1153.
    const pid_t luma10 = start(folder / "luma10", {"--connect", "--verbose"}, scratch_ / "verbose.out",
                               scratch_ / "verbose.err", kWindowEnvironment);
    ASSERT_GT(luma10, 0);
    const std::string line = "Чтение регистров 1152..1153 (адрес 1): Modbus-драйвер: Таймаут приёма данных\n";
    const bool seen = wait_for([&] { return slurp(scratch_ / "verbose.out").find(line) != std::string::npos; }, 60);
    kill(luma10, SIGTERM);
    waitpid(luma10, nullptr, 0);
    EXPECT_TRUE(seen) << slurp(scratch_ / "verbose.out");
    // The reads did fail: the line carried requests that were not answered.
    EXPECT_NE(sim.log().find("01 03 04 80 00 02"), std::string::npos) << sim.log();
}
#endif
