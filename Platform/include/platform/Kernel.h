// Kernel services the engine calls: command line and module, current
// directory and directories, files, the last-error code, the performance
// counter, tick count and Sleep, debugger output, code-page conversion,
// module resources, movable global memory, MulDiv, process exit and the
// processor feature query.
//
// Files and directories take engine-style paths (backslashes allowed); they
// are translated once at the operating-system boundary. A drive-letter path
// ("C:\x") names nothing on this system and fails with ERROR_PATH_NOT_FOUND.
//
// Resources: a program registers them in code with QndxRegisterResource
// before it looks them up; FindResourceA gives NULL for anything not
// registered.
#pragma once

#include "platform/Types.h"

typedef size_t SIZE_T;
typedef SIZE_T* PSIZE_T;

#ifndef INFINITE
#define INFINITE 0xFFFFFFFF
#endif

// ---------------------------------------------------------------------------
// Last-error codes (per thread, GetLastError/SetLastError).
#define NO_ERROR 0L
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_NOT_LOCKED 158L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_DIRECTORY 267L
#define ERROR_INVALID_ADDRESS 487L
#define ERROR_NOACCESS 998L
#define ERROR_FILE_INVALID 1006L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

DWORD GetLastError();
void SetLastError(DWORD errorCode);

// The reason behind the last failure the layer could put in words (a
// picture's side out of range, a wave's sample rate, a decoder's message),
// per thread; "" when there is none. Calls that know why they fail set it
// (the layer's own extension: result codes alone cannot say why); a caller
// clears it with NULL before a call and reads it after a failed one.
LPCSTR QndxGetLastErrorText();
void QndxSetLastErrorText(LPCSTR lpText);

// ---------------------------------------------------------------------------
// Process, command line and module.

// The application's entry point; Platform/main provides main(), which records
// the command line and calls it with the arguments part of the line.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// "\"<absolute program path>\" arg1 \"arg with blank\" ..." Never null.
LPSTR GetCommandLineA();
// NULL gives the program's instance (fixed, non-null); any name gives NULL
// (ERROR_MOD_NOT_FOUND): the program is the only module.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// Absolute path of the program file; truncated (and terminated) to nSize,
// returning nSize with ERROR_INSUFFICIENT_BUFFER when it does not fit.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// Ends the process through the C runtime's exit, so static destructors run
// (the log footer is written); the exit status is the code's low 8 bits.
[[noreturn]] void ExitProcess(UINT uExitCode);

// ---------------------------------------------------------------------------
// Directories.
BOOL SetCurrentDirectoryA(LPCSTR lpPathName);
// Length without the terminator when it fits, else the size needed with it.
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
// FALSE with ERROR_ALREADY_EXISTS when the directory (or a file) is there.
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

// ---------------------------------------------------------------------------
// Files.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define INVALID_SET_FILE_POINTER ((DWORD)0xFFFFFFFFu)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFFu)

// Positioned transfer: when given, ReadFile/WriteFile start at Offset/OffsetHigh.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
typedef OVERLAPPED* LPOVERLAPPED;

// Regular files only: a directory or a device gives INVALID_HANDLE_VALUE
// (ERROR_ACCESS_DENIED). OPEN_ALWAYS keeps the content; CREATE_ALWAYS and
// TRUNCATE_EXISTING empty the file; the position starts at 0. Share modes
// are accepted; this system does not lock files against other openers.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// TRUE with a short (or zero) count at the end of the file; FALSE on an
// invalid handle, a null buffer or a handle opened without read access.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);
// New position's low 32 bits (high part through lpDistanceToMoveHigh when
// given). INVALID_SET_FILE_POINTER on a bad handle or method, or when the
// position would become negative (ERROR_NEGATIVE_SEEK; position unchanged).
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
BOOL CloseHandle(HANDLE hObject);

// Read-only mappings of a whole file opened with read access: null
// (ERROR_FILE_INVALID) for an empty file, ERROR_NOT_SUPPORTED for any other
// protection, a name, a size or an offset. The mapping's handle closes with
// CloseHandle and serves no file call; a view stays valid until
// UnmapViewOfFile, whether or not the mapping or the file are still open.
#define PAGE_READONLY 0x02u
#define FILE_MAP_READ 0x0004u
HANDLE CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES lpAttributes, DWORD flProtect, DWORD dwMaximumSizeHigh,
                          DWORD dwMaximumSizeLow, LPCSTR lpName);
LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                     DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap);
BOOL UnmapViewOfFile(LPCVOID lpBaseAddress);

// ---------------------------------------------------------------------------
// Time.

// Counts per second of the performance counter (constant for the process).
BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
// Monotonic counter; follows the fake clock when a test turns it on.
BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
// Milliseconds of the monotonic clock, wrapping every 2^32 ms.
DWORD GetTickCount();
// Sleep(0) yields. Under the fake clock the time advances instead.
void Sleep(DWORD dwMilliseconds);

// ---------------------------------------------------------------------------
// Debugger output: written to standard error when QNDX_DEBUG_OUTPUT=1.
void OutputDebugStringA(LPCSTR lpOutputString);

// ---------------------------------------------------------------------------
// Code pages. Code page 0 is Windows-1252 (Latin-1 with the 0x80-0x9F
// punctuation); other code pages give 0 with ERROR_INVALID_PARAMETER.
#define CP_ACP 0u
#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u

// cbMultiByte -1 converts up to and including the terminating NUL. With
// cchWideChar 0 the count needed is returned and nothing is written;
// otherwise what fits is written and its count returned (a cut-short result
// also sets ERROR_INSUFFICIENT_BUFFER).
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);

// ---------------------------------------------------------------------------
// Module resources. Names and types are strings (compared without regard to
// case; "#123" is the integer name 123) or integers made with MAKEINTRESOURCEA.
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_FONT MAKEINTRESOURCEA(8)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

// Registers (or replaces) a resource of the program's module. The bytes are
// copied. RT_BITMAP resources are kept as packed DIBs (info header, colour
// table, pixels) like the platform's own; registering a whole .bmp file is
// accepted and its 14-byte file header is dropped. FALSE for a null type or
// name, null data with a non-zero size, or a malformed bitmap.
BOOL QndxRegisterResource(LPCSTR lpType, LPCSTR lpName, LPCVOID lpData, DWORD cbData);
// Removes a registered resource; FALSE when there was none.
BOOL QndxUnregisterResource(LPCSTR lpType, LPCSTR lpName);

// hModule NULL or the program's instance. NULL when nothing is registered
// under that type and name.
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
// The loaded resource; its value is also the address of the bytes, as on
// the platform, and stays valid until the resource is unregistered.
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Resources need no freeing; always FALSE.
BOOL FreeResource(HGLOBAL hResData);

// ---------------------------------------------------------------------------
// Global memory (memory streams and picture loading).
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_MODIFY 0x0080u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

// A GMEM_FIXED handle is the address of the block itself; a movable one must
// be locked to get the address. NULL when the memory cannot be had.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// Resizes the block (GMEM_ZEROINIT clears what grows). A fixed block, or a
// locked movable one, moves only when uFlags has GMEM_MOVEABLE (a fixed
// block's handle then changes); otherwise it can shrink but not grow. NULL
// on failure, the old block staying valid.
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
// NULL for an unknown handle or an empty movable block.
LPVOID GlobalLock(HGLOBAL hMem);
// Non-zero while the block stays locked; FALSE when the count reached 0
// (last error NO_ERROR) or the block was not locked (ERROR_NOT_LOCKED).
BOOL GlobalUnlock(HGLOBAL hMem);
// NULL on success, the handle when it was not a block of this allocator.
HGLOBAL GlobalFree(HGLOBAL hMem);
// 0 for an unknown handle.
SIZE_T GlobalSize(HGLOBAL hMem);

// ---------------------------------------------------------------------------
// Arithmetic: nNumber * nNumerator / nDenominator with a 64-bit product,
// rounded to nearest (halves away from zero); -1 for a zero denominator or a
// result outside int.
int MulDiv(int nNumber, int nNumerator, int nDenominator);

// ---------------------------------------------------------------------------
// Processor feature query behind the game manager's GetCPUFeatures.

// FALSE when the processor cannot identify itself (the EFLAGS ID bit cannot
// be toggled, or the processor has no such instruction).
BOOL QndxCpuidSupported();
// Runs the identification for `leaf` and stores EAX, EBX, ECX, EDX in
// regs[0..3]. A leaf beyond the processor's range gives zeros. FALSE (regs
// zeroed) when identification is unsupported or regs is null.
BOOL QndxCpuid(int leaf, int regs[4]);
