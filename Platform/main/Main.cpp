// The process entry point: records the command line the way the engine reads
// it (quoted absolute program path, then the arguments) and hands control to
// the application's WinMain.
#include "../src/kernel/CommandLine.h"
#include "platform/Kernel.h"

namespace {
// nCmdShow for a normally started program (show the window as it asks).
constexpr int kShowDefault = 10;
}  // namespace

int main(int argc, char** argv) {
    qndx::platform::RecordCommandLine(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, qndx::platform::CommandLineArguments(), kShowDefault);
}
