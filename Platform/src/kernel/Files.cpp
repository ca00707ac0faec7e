// File handles: a table of open host files behind CreateFileA, ReadFile,
// WriteFile, SetFilePointer, GetFileSize and CloseHandle. Handle values are
// never reused, so a stale handle fails instead of reaching another file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "kernel/Errors.h"
#include "kernel/Path.h"
#include "platform/Kernel.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

struct OpenFile {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool mapping = false;  // a file mapping's handle: no file call takes it
    // Serialises seek-then-transfer sequences on this one file.
    std::mutex lock;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

class FileTable {
public:
    static FileTable& Get() {
        static FileTable* table = new FileTable();  // files may be closed from static destructors
        return *table;
    }

    HANDLE Add(std::shared_ptr<OpenFile> file) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_next += 4;
        m_files.emplace(m_next, std::move(file));
        return reinterpret_cast<HANDLE>(m_next);
    }

    std::shared_ptr<OpenFile> Find(HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_files.find(reinterpret_cast<uintptr_t>(handle));
        return it == m_files.end() ? nullptr : it->second;
    }

    // The host file closes once no call is still using it.
    bool Remove(HANDLE handle) {
        std::shared_ptr<OpenFile> gone;
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_files.find(reinterpret_cast<uintptr_t>(handle));
        if (it == m_files.end()) return false;
        gone = std::move(it->second);
        m_files.erase(it);
        return true;
    }

private:
    std::mutex m_lock;
    std::unordered_map<uintptr_t, std::shared_ptr<OpenFile>> m_files;
    uintptr_t m_next = 0x1000;
};

std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file and a missing directory on the way are told apart.
DWORD OpenError(int err, const std::string& path) {
    if (err == ENOENT) return IsDirectory(ParentOf(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    return ErrorFromErrno(err, true);
}

int OpenHost(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::shared_ptr<OpenFile> FindOrFail(HANDLE handle, bool mapping = false) {
    auto file = FileTable::Get().Find(handle);
    if (file && file->mapping != mapping) file = nullptr;
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// Mapped views and their lengths, for UnmapViewOfFile.
std::mutex g_viewLock;
std::unordered_map<const void*, size_t> g_views;

bool SeekTo(int fd, const OVERLAPPED* overlapped) {
    if (overlapped == nullptr) return true;
    off_t at = static_cast<off_t>((static_cast<uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
    if (at < 0 || ::lseek(fd, at, SEEK_SET) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

}  // namespace
}  // namespace platform
}  // namespace qndx

using namespace qndx::platform;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    qndx::sim::internal::Record("CreateFileA", [&] {
        char args[64];
        std::snprintf(args, sizeof args, "\", 0x%08X, %u, %u", dwDesiredAccess, dwShareMode, dwCreationDisposition);
        return "\"" + std::string(lpFileName ? lpFileName : "") + args;
    });
    if (TakeKernelFault("CreateFileA")) return INVALID_HANDLE_VALUE;

    std::string path = ToHostPath(lpFileName);
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool wantRead = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    const bool wantWrite = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;

    int createFlags;
    bool truncate = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW: createFlags = O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: createFlags = O_CREAT; truncate = true; break;
    case OPEN_EXISTING: createFlags = 0; break;
    case OPEN_ALWAYS: createFlags = O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!wantWrite) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        createFlags = 0;
        truncate = true;
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }

    // Directories, devices and pipes are refused before anything is opened,
    // so that opening never blocks or truncates something that is no file.
    struct stat before{};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    // Emptying the file needs a writable descriptor even when the caller
    // asked for reading only; writes stay refused through canWrite.
    int accessFlags = (wantWrite || truncate) ? (wantRead || truncate ? O_RDWR : O_WRONLY) : O_RDONLY;
    int fd = OpenHost(path, accessFlags | createFlags | (truncate ? O_TRUNC : 0));
    if (fd < 0) {
        SetLastError(OpenError(errno, path));
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<OpenFile>();
    file->fd = fd;
    file->canRead = wantRead;
    file->canWrite = wantWrite;

    struct stat after{};
    if (::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);

    HANDLE handle = FileTable::Get().Add(std::move(file));
    const bool reportExisting =
        existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return handle;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    if (TakeKernelFault("ReadFile")) return FALSE;
    auto file = FindOrFail(hFile);
    if (!file) return FALSE;
    if (!file->canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (lpBuffer == nullptr && nNumberOfBytesToRead > 0) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(file->lock);
    if (!SeekTo(file->fd, lpOverlapped)) return FALSE;
    auto* out = static_cast<unsigned char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
        ssize_t n = ::read(file->fd, out + total, nNumberOfBytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) break;  // end of file: a short count, still a success
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    SetLastError(NO_ERROR);
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    if (TakeKernelFault("WriteFile")) return FALSE;
    auto file = FindOrFail(hFile);
    if (!file) return FALSE;
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (lpBuffer == nullptr && nNumberOfBytesToWrite > 0) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(file->lock);
    if (!SeekTo(file->fd, lpOverlapped)) return FALSE;
    const auto* in = static_cast<const unsigned char*>(lpBuffer);
    DWORD total = 0;
    while (total < nNumberOfBytesToWrite) {
        ssize_t n = ::write(file->fd, in + total, nNumberOfBytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
    SetLastError(NO_ERROR);
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    auto file = FindOrFail(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    int64_t distance = lpDistanceToMoveHigh
                           ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                                  static_cast<uint32_t>(lDistanceToMove))
                           : static_cast<int64_t>(lDistanceToMove);
    std::lock_guard<std::mutex> guard(file->lock);
    int64_t base;
    switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = ::lseek(file->fd, 0, SEEK_CUR); break;
    case FILE_END: {
        struct stat st{};
        base = ::fstat(file->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
        break;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target;
    if (__builtin_add_overflow(base, distance, &target) || target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the caller cannot see a position past 4 GiB.
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(file->fd, static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    // 0xFFFFFFFF can be a real low part; NO_ERROR tells it apart.
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = FindOrFail(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st{};
    if (::fstat(file->fd, &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE hObject) {
    if (!FileTable::Get().Remove(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect, DWORD dwMaximumSizeHigh,
                          DWORD dwMaximumSizeLow, LPCSTR lpName) {
    qndx::sim::internal::Record("CreateFileMappingA", [&] { return std::to_string(flProtect); });
    auto file = FindOrFail(hFile);
    if (!file) return nullptr;
    if (flProtect != PAGE_READONLY || dwMaximumSizeHigh != 0 || dwMaximumSizeLow != 0 || lpName) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    struct stat st{};
    if (!file->canRead || ::fstat(file->fd, &st) != 0 || st.st_size == 0) {
        SetLastError(file->canRead ? ERROR_FILE_INVALID : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto mapping = std::make_shared<OpenFile>();
    mapping->fd = ::fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
    if (mapping->fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    mapping->canRead = true;
    mapping->mapping = true;
    SetLastError(NO_ERROR);
    return FileTable::Get().Add(std::move(mapping));
}

LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                     DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
    if (TakeKernelFault("MapViewOfFile")) return nullptr;
    auto mapping = FindOrFail(hFileMappingObject, true);
    if (!mapping) return nullptr;
    if (dwDesiredAccess != FILE_MAP_READ || dwFileOffsetHigh != 0 || dwFileOffsetLow != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    struct stat st{};
    if (::fstat(mapping->fd, &st) != 0 || st.st_size == 0 || (uint64_t)dwNumberOfBytesToMap > (uint64_t)st.st_size) {
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    }
    const size_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : (size_t)st.st_size;
    // Populated at once: the pages are the file's cached ones, mapped without a fault each.
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, mapping->fd, 0);
    if (view == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(g_viewLock);
    g_views[view] = length;
    SetLastError(NO_ERROR);
    return view;
}

BOOL UnmapViewOfFile(LPCVOID lpBaseAddress) {
    size_t length = 0;
    {
        std::lock_guard<std::mutex> guard(g_viewLock);
        auto it = g_views.find(lpBaseAddress);
        if (it != g_views.end()) {
            length = it->second;
            g_views.erase(it);
        }
    }
    if (length == 0) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    ::munmap(const_cast<void*>(lpBaseAddress), length);
    return TRUE;
}
