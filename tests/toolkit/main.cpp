// Runs the toolkit tests on SDL's offscreen video driver: no display needed.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // The window's plain framebuffer: SDL's default would render every frame
    // through a software OpenGL driver, slow and leaking on unload.
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
