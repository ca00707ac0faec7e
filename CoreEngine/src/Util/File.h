// Thin owner of one native file handle: open modes, positioning, size, raw
// reads and writes, and fixed-width values in little-endian byte order.
#pragma once

#include "platform/Types.h"

class CQNDXFile {
public:
    CQNDXFile();
    // Closes the file.
    virtual ~CQNDXFile();

    // 0 when a handle came, -1 otherwise; an open file is closed first.
    int Open(const char* name, DWORD access, DWORD share, DWORD disposition);
    int OpenRead(const char* name);
    // Keeps existing content, starts at position 0.
    int OpenWrite(const char* name);
    int OpenReadWrite(const char* name);
    void Close();
    int IsOpen() const;
    HANDLE GetHandle() const { return m_hFile; }

    // Positions and size are 0 when closed.
    DWORD Tell();
    DWORD Seek(LONG offset, DWORD origin);
    void SeekToBegin();
    void SeekToEnd();
    DWORD GetSize();

    // Count of bytes moved, 0 on failure.
    DWORD Read(void* buffer, DWORD count);
    DWORD Write(const void* buffer, DWORD count);

    // A short or failed read gives 0.
    int8_t ReadInt8();
    uint8_t ReadUInt8();
    int16_t ReadInt16();
    uint16_t ReadUInt16();
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    int64_t ReadInt64();
    uint64_t ReadUInt64();

    DWORD WriteInt8(int8_t value);
    DWORD WriteUInt8(uint8_t value);
    DWORD WriteInt16(int16_t value);
    DWORD WriteUInt16(uint16_t value);
    DWORD WriteInt32(int32_t value);
    DWORD WriteUInt32(uint32_t value);
    DWORD WriteInt64(int64_t value);
    DWORD WriteUInt64(uint64_t value);

private:
    CQNDXFile(const CQNDXFile&) = delete;
    CQNDXFile& operator=(const CQNDXFile&) = delete;

    template <typename T>
    T __ReadValue();
    template <typename T>
    DWORD __WriteValue(T value);

    HANDLE m_hFile;
};
