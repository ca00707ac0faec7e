// The process entry point: records the command line the way the engine reads
// it (quoted absolute program path, then the arguments), lets SIGINT, SIGTERM
// and SIGHUP close the program through its message loop, and hands control
// to the application's WinMain.
#include "../src/kernel/CommandLine.h"
#include "../src/user/StopSignals.h"
#include "platform/Kernel.h"

namespace {
// nCmdShow for a normally started program (show the window as it asks).
constexpr int kShowDefault = 10;
}  // namespace

int main(int argc, char** argv) {
    qndx::platform::RecordCommandLine(argc, argv);
    qndx::platform::InstallStopSignalHandlers();
    return WinMain(GetModuleHandleA(nullptr), nullptr, qndx::platform::CommandLineArguments(), kShowDefault);
}
