// The demo configuration of scripts/run.sh, read back with luma10ctl settings
// as the configurator would load it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/scratch.h"

namespace fs = std::filesystem;
using scratch::slurp;

namespace {

class DemoConfig : public scratch::Test {
protected:
    DemoConfig() : scratch::Test("luma_demo", "luma10.json") {}

    int demo_config(unsigned com) {
        const std::string cmd = "bash " LUMA_SOURCE_DIR "/scripts/demo-config.sh " + path_ + " " +
                                std::to_string(com);
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string settings() {
        const fs::path out = dir_ / "settings.out";
        const std::string cmd = std::string(LUMA10CTL_PATH) + " settings --config " + path_ + " >" +
                                out.string();
        return std::system(cmd.c_str()) == 0 ? slurp(out) : "failed";
    }
};

}  // namespace

TEST_F(DemoConfig, WrittenOnceThenOnlyThePortFollowsTheSimulator) {
    ASSERT_EQ(demo_config(3), 0);
    EXPECT_EQ(settings(),
              "port=3\nspeed=9600\nparity=Нет (0)\nstop_bits=1 (0)\npermanent_echo=Нет (0)\n"
              "before_send_delay=0\ntimeout=1000\nblock_id=1\nballoon_strength=10\n");

    // What the user saved in the program, as the program writes it.
    const std::string saved = R"({
    "app_config": {
        "connection": {
            "block_id": 7,
            "driver_config": {
                "port_config": {
                    "port": 3,
                    "speed": 19200,
                    "parity": 2,
                    "stop_bits": 2,
                    "permanent_echo": true,
                    "before_send_delay": 15
                },
                "timeout": 700
            }
        },
        "params": {
            "balloon_strength": 2.5
        }
    }
})";
    std::ofstream(path_, std::ios::binary) << saved;
    ASSERT_EQ(demo_config(3), 0);
    EXPECT_EQ(slurp(path_), saved);  // the same COM number: not a byte changes

    ASSERT_EQ(demo_config(12), 0);
    EXPECT_EQ(settings(),
              "port=12\nspeed=19200\nparity=Чётная (2)\nstop_bits=2 (2)\npermanent_echo=Да (1)\n"
              "before_send_delay=15\ntimeout=700\nblock_id=7\nballoon_strength=2.5\n");
    std::string expected = saved;
    expected.replace(expected.find("\"port\": 3"), 9, "\"port\": 12");
    EXPECT_EQ(slurp(path_), expected);
}
