// IUnknown-style reference counting shared by every object interface of the
// layer (DirectDraw, DirectInput, DirectMusic, pictures, streams).
#pragma once

#include "platform/Types.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    // Dropping the last reference frees the object and all it holds.
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC 0x3
#define CLSCTX_ALL 0x17

HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN outer, DWORD clsContext, REFIID riid, LPVOID* ppv);

extern const IID IID_IUnknown;
