// Last-error bookkeeping shared by the kernel calls: the per-thread code and
// the translation of host errno values into the platform's error codes.
#pragma once

#include "platform/Kernel.h"

namespace qndx {
namespace platform {

// The platform code for a failed host call's errno. `forCreate` picks
// ERROR_FILE_EXISTS over ERROR_ALREADY_EXISTS for EEXIST.
DWORD ErrorFromErrno(int err, bool forCreate = false);

// Honours an injected fault for `call`: sets the last error to the injected
// code and returns true when the call must fail.
bool TakeKernelFault(const char* call);

// Sets the thread's last error text (QndxGetLastErrorText), formatted like
// printf; long texts are cut.
void SetErrorText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace platform
}  // namespace qndx
