// Test control of the kernel side: the command line, the processor query and
// debugger output. Reset() undoes every setting here, forgets a recorded
// command line (the process's own one comes back) and drops registered
// resources. Kernel calls honour FailNext by their names ("CreateFileA",
// "ReadFile", "WriteFile", "CreateDirectoryA", "SetCurrentDirectoryA",
// "GlobalAlloc", "FindResourceA", "LoadResource", "LockResource",
// "QueryPerformanceFrequency"): the call fails and GetLastError() returns the
// injected code as given (pass a Win32 error such as ERROR_ACCESS_DENIED).
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace qndx {
namespace sim {

// GetCommandLineA returns this line (copied) until Reset(); null goes back
// to the process's own line.
// Example: "\"C:\\Games\\My Game\\run.me.exe\" -windowed".
void SetCommandLine(const char* line);

// Replaces the processor query: `idFlagToggles` false makes
// QndxCpuidSupported() FALSE; every leaf answers zeros until set below.
void InjectCpu(bool idFlagToggles);
void SetCpuidLeaf(int leaf, int eax, int ebx, int ecx, int edx);
// Back to the real processor.
void UseRealCpu();

// Keeps every OutputDebugStringA text (in addition to the QNDX_DEBUG_OUTPUT
// echo) until Reset().
void CaptureDebugOutput(bool on);
std::vector<std::string> DebugOutput();

}  // namespace sim
}  // namespace qndx
