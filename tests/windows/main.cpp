// Runs the window tests on SDL's offscreen video driver: no display needed.
#include <gtest/gtest.h>

#include "platform/display.h"

int main(int argc, char** argv) {
    plat::use_offscreen_video();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
