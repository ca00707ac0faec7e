// Code page 0 to UTF-16 and MultiByteToWideChar.
#include "kernel/CodePage.h"

#include <cstring>

#include "platform/Kernel.h"

namespace qndx {
namespace platform {

char16_t Cp1252ToUtf16(unsigned char byte) {
    static const char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
    };
    if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
    return static_cast<char16_t>(byte);
}

}  // namespace platform
}  // namespace qndx

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (CodePage != CP_ACP || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
        cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the whole string with its terminator; one code unit per byte.
    const size_t needed = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (needed > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchWideChar == 0) {
        SetLastError(NO_ERROR);
        return static_cast<int>(needed);
    }
    const size_t count = needed < static_cast<size_t>(cchWideChar) ? needed : static_cast<size_t>(cchWideChar);
    const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    for (size_t i = 0; i < count; ++i) lpWideCharStr[i] = qndx::platform::Cp1252ToUtf16(in[i]);
    SetLastError(count < needed ? ERROR_INSUFFICIENT_BUFFER : NO_ERROR);
    return static_cast<int>(count);
}
