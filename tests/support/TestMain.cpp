// Shared test entry point: headless SDL drivers unless a test asks otherwise,
// a temporary folder of the process's own (TempDir.h), and the platform
// layer reset before every test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sim/Sim.h"
#include "support/TempDir.h"

namespace {

class ResetLayer : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { qndx::sim::Reset(); }
    void OnTestEnd(const ::testing::TestInfo&) override { qndx::sim::Reset(); }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    qndx::test::StartTempRoot();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetLayer);
    const int result = RUN_ALL_TESTS();
    qndx::test::EndTempRoot();
    return result;
}
