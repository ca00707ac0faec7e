// File wrapper over the platform's file handle calls.
#include "Util/File.h"

#include <cstring>

#include "platform/Kernel.h"

CQNDXFile::CQNDXFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CQNDXFile::~CQNDXFile() { Close(); }

int CQNDXFile::Open(const char* name, DWORD access, DWORD share, DWORD disposition) {
    Close();
    if (!name) return -1;
    HANDLE h = CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return -1;
    m_hFile = h;
    return 0;
}

int CQNDXFile::OpenRead(const char* name) { return Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); }

int CQNDXFile::OpenWrite(const char* name) { return Open(name, GENERIC_WRITE, 0, OPEN_ALWAYS); }

int CQNDXFile::OpenReadWrite(const char* name) {
    return Open(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
}

void CQNDXFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

int CQNDXFile::IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

DWORD CQNDXFile::Tell() {
    if (!IsOpen()) return 0;
    return SetFilePointer(m_hFile, 0, nullptr, FILE_CURRENT);
}

DWORD CQNDXFile::Seek(LONG offset, DWORD origin) {
    if (!IsOpen()) return 0;
    return SetFilePointer(m_hFile, offset, nullptr, origin);
}

void CQNDXFile::SeekToBegin() { Seek(0, FILE_BEGIN); }

void CQNDXFile::SeekToEnd() { Seek(0, FILE_END); }

DWORD CQNDXFile::GetSize() {
    if (!IsOpen()) return 0;
    return GetFileSize(m_hFile, nullptr);
}

DWORD CQNDXFile::Read(void* buffer, DWORD count) {
    DWORD done = 0;
    if (!ReadFile(m_hFile, buffer, count, &done, nullptr)) return 0;
    return done;
}

DWORD CQNDXFile::Write(const void* buffer, DWORD count) {
    DWORD done = 0;
    if (!WriteFile(m_hFile, buffer, count, &done, nullptr)) return 0;
    return done;
}

// Values lie in the file exactly as in memory on this (little-endian)
// processor; a short read yields 0 rather than a half-filled value.
template <typename T>
T CQNDXFile::__ReadValue() {
    unsigned char bytes[sizeof(T)];
    if (Read(bytes, sizeof(T)) != sizeof(T)) return T(0);
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <typename T>
DWORD CQNDXFile::__WriteValue(T value) {
    return Write(&value, sizeof(T));
}

int8_t CQNDXFile::ReadInt8() { return __ReadValue<int8_t>(); }
uint8_t CQNDXFile::ReadUInt8() { return __ReadValue<uint8_t>(); }
int16_t CQNDXFile::ReadInt16() { return __ReadValue<int16_t>(); }
uint16_t CQNDXFile::ReadUInt16() { return __ReadValue<uint16_t>(); }
int32_t CQNDXFile::ReadInt32() { return __ReadValue<int32_t>(); }
uint32_t CQNDXFile::ReadUInt32() { return __ReadValue<uint32_t>(); }
int64_t CQNDXFile::ReadInt64() { return __ReadValue<int64_t>(); }
uint64_t CQNDXFile::ReadUInt64() { return __ReadValue<uint64_t>(); }

DWORD CQNDXFile::WriteInt8(int8_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteUInt8(uint8_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteInt16(int16_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteUInt16(uint16_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteInt32(int32_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteUInt32(uint32_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteInt64(int64_t value) { return __WriteValue(value); }
DWORD CQNDXFile::WriteUInt64(uint64_t value) { return __WriteValue(value); }
