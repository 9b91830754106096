// Values luma10-sim refuses on its command line, each with a message.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/control_socket.h"
#include "sim/simulator.h"
#include "master_port.h"
#include "tests/scratch.h"

namespace {

bool parse(std::vector<const char*> args, std::string& error, sim::Options_t* out = nullptr) {
    args.insert(args.begin(), "luma10-sim");
    sim::Options_t o;
    bool help = false;
    error.clear();
    const bool ok = sim::parse_options(int(args.size()), args.data(), o, help, error);
    if (out) *out = o;
    return ok;
}

namespace fs = std::filesystem;

fs::path fresh_dir(const char* name) { return scratch::fresh_dir("luma_sim_" + std::string(name)); }
using scratch::slurp;

}  // namespace

TEST(SimOptions, NumbersOutsideTheirRangeAreRefused) {
    std::string err;
    for (const char* v : {"nan", "NaN", "-nan", "inf", "-1", "1000.5", "1e9", "", "12,5"}) {
        EXPECT_FALSE(parse({"--concentration", v}, err)) << v;
        EXPECT_NE(err.find("--concentration"), std::string::npos) << v << ": " << err;
        EXPECT_FALSE(parse({"--drift", v}, err)) << v;
    }
    sim::Options_t o;
    ASSERT_TRUE(parse({"--concentration", "12.5", "--drift", "0"}, err, &o)) << err;
    EXPECT_EQ(o.concentration, 12.5);
    EXPECT_EQ(o.drift, 0.0);
}

TEST(SimOptions, StateFileNeedsAnExistingFolder) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("luma_sim_opt_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string err;
    sim::Options_t o;
    // A new file in a folder that exists is fine: the first save creates it.
    const std::string ok_path = (dir / "luma.state").string();
    ASSERT_TRUE(parse({"--state", ok_path.c_str()}, err, &o)) << err;
    EXPECT_EQ(o.state_file, ok_path);

    const std::string missing = (dir / "absent" / "luma.state").string();
    EXPECT_FALSE(parse({"--state", missing.c_str()}, err));
    EXPECT_EQ(err, "папка файла состояния не найдена: " + (dir / "absent").string());

    const std::string folder = dir.string();
    EXPECT_FALSE(parse({"--state", folder.c_str()}, err));
    EXPECT_NE(err.find("--state"), std::string::npos) << err;
    fs::remove_all(dir);
}

// The control socket's values are checked as the command line's are.
TEST(SimControl, NonFiniteOrOutOfRangeValuesAreRefused) {
    sim::Options_t o;
    o.log = [](const std::string&) {};
    sim::Simulator_t s(o);
    for (const char* c : {"conc 1 nan", "conc 1 -nan", "conc 1 inf", "conc 1 1e9", "temp 1 nan", "temp 1 -inf"})
        EXPECT_EQ(s.command(c).rfind("error: недопустимое значение", 0), 0u) << c << ": " << s.command(c);
    EXPECT_EQ(s.command("conc 1 12.5"), "ok");
    EXPECT_EQ(s.command("temp 1 -40"), "ok");
}

// --control never deletes a file, never takes a socket another simulator
// listens on, and makes a socket only its owner can reach. Failures are
// told in Russian.
TEST(SimControl, SocketIsTheOwnersAndReplacesOnlyAStaleOne) {
    const fs::path dir = fresh_dir("control");
    const std::string path = (dir / "ctl").string();
    const auto echo = [](const std::string& l) { return "got " + l; };
    std::string err;
    std::ofstream(path) << "someone's data";
    plat::ControlServer_t server;
    EXPECT_FALSE(server.start(path, echo, &err));
    EXPECT_EQ(err, path + ": уже есть и это не сокет; нужно другое имя");
    EXPECT_EQ(slurp(path), "someone's data");
    fs::remove(path);

    const mode_t old_mask = ::umask(0);
    const bool started = server.start(path, echo, &err);
    ::umask(old_mask);
    ASSERT_TRUE(started) << err;
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string answer;
    ASSERT_TRUE(plat::control_request(path, "status", answer, &err)) << err;
    EXPECT_EQ(answer, "got status\n");

    plat::ControlServer_t second;
    EXPECT_FALSE(second.start(path, echo, &err));
    EXPECT_EQ(err, path + ": этот сокет слушает другая программа");
    server.stop();

    // A socket left by a simulator that was killed is taken over.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::close(stale);
    EXPECT_TRUE(second.start(path, echo, &err)) << err;
    second.stop();

    EXPECT_FALSE(plat::control_request((dir / "absent").string(), "status", answer, &err));
    EXPECT_EQ(err, (dir / "absent").string() + ": Нет такого файла или папки");
    fs::remove_all(dir);
}

// Links planted beside the state file (its old companion NAME.new among
// them) are never written through by the save command.
TEST(SimControl, StateFileSaveNeverWritesThroughPlantedLinks) {
    const fs::path dir = fresh_dir("state");
    const fs::path state = dir / "luma.state";
    for (const char* suffix : {".new", ".fswwb_new", ".fswwb_creatingnow"})
        fs::create_symlink(dir / (std::string("victim") + suffix), state.string() + suffix);
    sim::Options_t o;
    o.log = [](const std::string&) {};
    o.drift = 0;
    o.owner = 2;
    o.state_file = state.string();
    {
        sim::Simulator_t s(o);
        ASSERT_TRUE(s.start(nullptr));
        simtest::MasterPort m(s.path());
        ASSERT_EQ(m.exchange(simtest::write_req(1, 50213, {33}), 8).size(), 8u);
        ASSERT_EQ(m.exchange(simtest::write_req(1, 50190, {2}), 8).size(), 8u);  // save
    }
    for (const char* suffix : {".new", ".fswwb_new", ".fswwb_creatingnow"})
        EXPECT_FALSE(fs::exists(dir / (std::string("victim") + suffix))) << suffix;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(state)));
    EXPECT_NE(slurp(state).find("device 0 50213 33\n"), std::string::npos) << slurp(state);
    fs::remove_all(dir);
}
