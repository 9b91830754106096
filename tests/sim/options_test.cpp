// Values luma10-sim refuses on its command line, each with a message.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/simulator.h"

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
