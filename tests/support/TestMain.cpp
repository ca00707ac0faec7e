// Shared test entry point: headless SDL drivers unless a test asks otherwise,
// and the platform layer reset before every test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sim/Sim.h"

namespace {

class ResetLayer : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { qndx::sim::Reset(); }
    void OnTestEnd(const ::testing::TestInfo&) override { qndx::sim::Reset(); }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetLayer);
    return RUN_ALL_TESTS();
}
