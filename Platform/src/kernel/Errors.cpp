// Per-thread last error code and text, and errno translation.
#include "kernel/Errors.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "sim/SimInternal.h"

namespace {
thread_local DWORD t_lastError = NO_ERROR;
// A fixed buffer: setting the text never allocates, so failing paths that
// are short of memory can still say why.
thread_local char t_lastErrorText[256];
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD errorCode) { t_lastError = errorCode; }

LPCSTR QndxGetLastErrorText() { return t_lastErrorText; }

void QndxSetLastErrorText(LPCSTR lpText) {
    std::snprintf(t_lastErrorText, sizeof t_lastErrorText, "%s", lpText ? lpText : "");
}

namespace qndx {
namespace platform {

DWORD ErrorFromErrno(int err, bool forCreate) {
    switch (err) {
    case 0: return NO_ERROR;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return forCreate ? ERROR_FILE_EXISTS : ERROR_ALREADY_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ELOOP: return ERROR_INVALID_NAME;
    default: return ERROR_GEN_FAILURE;
    }
}

void SetErrorText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(t_lastErrorText, sizeof t_lastErrorText, format, args);
    va_end(args);
}

bool TakeKernelFault(const char* call) {
    HRESULT code = 0;
    if (!sim::internal::TakeFault(call, &code)) return false;
    SetLastError(static_cast<DWORD>(code));
    return true;
}

}  // namespace platform
}  // namespace qndx
