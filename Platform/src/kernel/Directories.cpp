// Current directory and directory creation.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Path.h"
#include "platform/Kernel.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

using namespace qndx::platform;

namespace {

void Journal(const char* call, LPCSTR path) {
    qndx::sim::internal::Record(call, [&] { return "\"" + std::string(path ? path : "") + "\""; });
}

// ENOENT here always means a missing directory on the way.
DWORD DirectoryError(int err) { return err == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(err); }

}  // namespace

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
    Journal("SetCurrentDirectoryA", lpPathName);
    if (TakeKernelFault("SetCurrentDirectoryA")) return FALSE;
    std::string path = ToHostPath(lpPathName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (::chdir(path.c_str()) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : DirectoryError(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) {
            SetLastError(ErrorFromErrno(errno));
            return 0;
        }
        buf.resize(buf.size() * 2);
    }
    size_t length = std::strlen(buf.data());
    if (lpBuffer == nullptr || length + 1 > nBufferLength) return static_cast<DWORD>(length + 1);
    std::memcpy(lpBuffer, buf.data(), length + 1);
    return static_cast<DWORD>(length);
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    Journal("CreateDirectoryA", lpPathName);
    if (TakeKernelFault("CreateDirectoryA")) return FALSE;
    std::string path = ToHostPath(lpPathName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        SetLastError(DirectoryError(errno));
        return FALSE;
    }
    return TRUE;
}
