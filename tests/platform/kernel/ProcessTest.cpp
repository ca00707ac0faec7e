// Processor query, debugger output and process exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"

namespace sim = qndx::sim;

TEST(Cpuid, InjectedProcessorAnswersTheSetLeaves) {
    sim::InjectCpu(true);
    sim::SetCpuidLeaf(1, 0x0633, 0, 0, (1 << 23) | (1 << 25));
    EXPECT_TRUE(QndxCpuidSupported());
    int regs[4] = {9, 9, 9, 9};
    ASSERT_TRUE(QndxCpuid(1, regs));
    EXPECT_EQ(regs[0], 0x0633);
    EXPECT_EQ(regs[3], (1 << 23) | (1 << 25));
    // Leaves never set (here: no extended leaves) answer zeros.
    ASSERT_TRUE(QndxCpuid(static_cast<int>(0x80000000u), regs));
    EXPECT_EQ(regs[0], 0);
    EXPECT_EQ(regs[3], 0);
}

TEST(Cpuid, ProcessorWithoutIdentification) {
    sim::InjectCpu(false);
    EXPECT_FALSE(QndxCpuidSupported());
    int regs[4] = {9, 9, 9, 9};
    EXPECT_FALSE(QndxCpuid(0, regs));
    EXPECT_EQ(regs[0], 0);
    EXPECT_FALSE(QndxCpuid(0, nullptr));
}

TEST(Cpuid, ResetGoesBackToTheRealProcessor) {
    sim::InjectCpu(false);
    sim::Reset();
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_TRUE(QndxCpuidSupported());
    int regs[4] = {};
    ASSERT_TRUE(QndxCpuid(0, regs));
    EXPECT_GE(regs[0], 1);  // highest basic leaf
    ASSERT_TRUE(QndxCpuid(1, regs));
#if defined(__x86_64__)
    EXPECT_NE(regs[3] & (1 << 25), 0);  // every x86-64 processor has SSE
#endif
#else
    EXPECT_FALSE(QndxCpuidSupported());
#endif
}

TEST(DebugOutput, CapturedWhenATestAsks) {
    OutputDebugStringA("not kept\n");
    sim::CaptureDebugOutput(true);
    OutputDebugStringA("kept\n");
    OutputDebugStringA(nullptr);
    auto lines = sim::DebugOutput();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "kept\n");
    sim::Reset();
    EXPECT_TRUE(sim::DebugOutput().empty());
}

TEST(DebugOutputDeathTest, EchoedToStandardErrorOnlyWhenAsked) {
    EXPECT_EXIT(
        {
            unsetenv("QNDX_DEBUG_OUTPUT");
            OutputDebugStringA("quiet-line\n");
            setenv("QNDX_DEBUG_OUTPUT", "1", 1);
            OutputDebugStringA("loud-line\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^loud-line\n$");
}

namespace {
// Stands for the game manager's static holder, whose destructor writes the
// log footer.
struct ExitWitness {
    ~ExitWitness() { std::fputs("static destructor ran\n", stderr); }
};
}  // namespace

TEST(ExitProcessDeathTest, MinusOneGives255AndRunsStaticDestructors) {
    EXPECT_EXIT(
        {
            static ExitWitness witness;
            (void)witness;
            ExitProcess(static_cast<UINT>(-1));
        },
        ::testing::ExitedWithCode(255), "static destructor ran");
}

TEST(ExitProcessDeathTest, ExitCodeIsPassedThrough) {
    EXPECT_EXIT(ExitProcess(3), ::testing::ExitedWithCode(3), "");
}
