// DirectInput 8 subset: the interface object, keyboard, mouse and game
// controller devices, the predefined data formats, properties, immediate and
// buffered data, and the result codes the engine tests. The layer feeds the
// devices from the window's event pump (and from the test panel).
#pragma once

#include "platform/Com.h"
#include "platform/Types.h"

#define DIRECTINPUT_VERSION 0x0800

struct IDirectInput8A;
struct IDirectInputDevice8A;
typedef IDirectInput8A* LPDIRECTINPUT8A;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;
typedef IDirectInput8A* LPDIRECTINPUT8;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8;

// ---- identifiers -----------------------------------------------------------

extern const IID IID_IDirectInput8A;
extern const IID IID_IDirectInputDevice8A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;

// Property identifiers. Each is a GUID object of its own; the layer tells
// them apart by value.
extern const GUID DIPROP_BUFFERSIZE;
extern const GUID DIPROP_RANGE;
extern const GUID DIPROP_DEADZONE;
extern const GUID DIPROP_SATURATION;

// ---- result codes ----------------------------------------------------------

#define DI_OK S_OK
#define DI_NOTATTACHED S_FALSE
#define DI_BUFFEROVERFLOW S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_NOEFFECT S_FALSE
#define DI_POLLEDDEVICE ((HRESULT)0x00000002)

#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047E)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481)
#define DIERR_BADDRIVERVER ((HRESULT)0x80070077)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154)
#define DIERR_NOTFOUND ((HRESULT)0x80070002)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015)
#define DIERR_ALREADYINITIALIZED ((HRESULT)0x800704DF)
#define DIERR_NOAGGREGATION ((HRESULT)0x80040110)
#define DIERR_OTHERAPPHASPRIO E_ACCESSDENIED
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_ACQUIRED ((HRESULT)0x800700AA)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_READONLY E_ACCESSDENIED
#define DIERR_HANDLEEXISTS E_ACCESSDENIED
#define DIERR_INSUFFICIENTPRIVS ((HRESULT)0x80040200)
#define DIERR_DEVICEFULL ((HRESULT)0x80040201)
#define DIERR_MOREDATA ((HRESULT)0x80040202)
#define DIERR_NOTDOWNLOADED ((HRESULT)0x80040203)
#define DIERR_HASEFFECTS ((HRESULT)0x80040204)
#define DIERR_NOTEXCLUSIVEACQUIRED ((HRESULT)0x80040205)
#define DIERR_INCOMPLETEEFFECT ((HRESULT)0x80040206)
#define DIERR_NOTBUFFERED ((HRESULT)0x80040207)
#define DIERR_EFFECTPLAYING ((HRESULT)0x80040208)
#define DIERR_UNPLUGGED ((HRESULT)0x80040209)
#define DIERR_REPORTFULL ((HRESULT)0x8004020A)
#define DIERR_MAPFILEFAIL ((HRESULT)0x8004020B)

// ---- device classes, types, enumeration -------------------------------------

#define DI8DEVCLASS_ALL 0
#define DI8DEVCLASS_DEVICE 1
#define DI8DEVCLASS_POINTER 2
#define DI8DEVCLASS_KEYBOARD 3
#define DI8DEVCLASS_GAMECTRL 4

#define DI8DEVTYPE_DEVICE 0x11
#define DI8DEVTYPE_MOUSE 0x12
#define DI8DEVTYPE_KEYBOARD 0x13
#define DI8DEVTYPE_JOYSTICK 0x14
#define DI8DEVTYPE_GAMEPAD 0x15
#define DI8DEVTYPE_DRIVING 0x16
#define DI8DEVTYPE_FLIGHT 0x17
#define DI8DEVTYPE_1STPERSON 0x18

#define DI8DEVTYPEMOUSE_UNKNOWN 1
#define DI8DEVTYPEMOUSE_TRADITIONAL 2
#define DI8DEVTYPEKEYBOARD_PCENH 4
#define DI8DEVTYPEJOYSTICK_STANDARD 2
#define DI8DEVTYPEGAMEPAD_STANDARD 2

#define GET_DIDEVICE_TYPE(dwDevType) LOBYTE(dwDevType)
#define GET_DIDEVICE_SUBTYPE(dwDevType) HIBYTE(dwDevType)

#define DIEDFL_ALLDEVICES 0x00000000
#define DIEDFL_ATTACHEDONLY 0x00000001
#define DIEDFL_FORCEFEEDBACK 0x00000100

#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

// ---- cooperative levels -----------------------------------------------------

#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008
#define DISCL_NOWINKEY 0x00000010

// ---- records -----------------------------------------------------------------

// One instance of a device as enumeration and GetDeviceInfo describe it.
// dwSize 580 is the version tag the layer accepts.
struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];
    CHAR tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580, "DIDEVICEINSTANCEA is 580 bytes");
typedef DIDEVICEINSTANCEA* LPDIDEVICEINSTANCEA;
typedef const DIDEVICEINSTANCEA* LPCDIDEVICEINSTANCEA;

typedef BOOL(CALLBACK* LPDIENUMDEVICESCALLBACKA)(LPCDIDEVICEINSTANCEA, LPVOID);

// Capabilities. dwSize 44 is the version tag the layer accepts.
struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};
static_assert(sizeof(DIDEVCAPS) == 44, "DIDEVCAPS is 44 bytes");
typedef DIDEVCAPS* LPDIDEVCAPS;

#define DIDC_ATTACHED 0x00000001
#define DIDC_POLLEDDEVICE 0x00000002
#define DIDC_EMULATED 0x00000004
#define DIDC_POLLEDDATAFORMAT 0x00000008

// Properties.
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
static_assert(sizeof(DIPROPHEADER) == 16, "DIPROPHEADER is 16 bytes");
typedef DIPROPHEADER* LPDIPROPHEADER;
typedef const DIPROPHEADER* LPCDIPROPHEADER;

struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
static_assert(sizeof(DIPROPDWORD) == 20, "DIPROPDWORD is 20 bytes");

struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24, "DIPROPRANGE is 24 bytes");

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
#define DIPH_BYID 2

#define DIPROPRANGE_NOMIN ((LONG)0x80000000)
#define DIPROPRANGE_NOMAX ((LONG)0x7FFFFFFF)

// One buffered input record: 20 bytes, as the platform lays it out.
struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
    DWORD uAppData;
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 20, "DIDEVICEOBJECTDATA is 20 bytes");
typedef DIDEVICEOBJECTDATA* LPDIDEVICEOBJECTDATA;

#define DIGDD_PEEK 0x00000001
#ifndef INFINITE
#define INFINITE 0xFFFFFFFF
#endif

// ---- data formats -------------------------------------------------------------

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};
typedef DIOBJECTDATAFORMAT* LPDIOBJECTDATAFORMAT;

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    LPDIOBJECTDATAFORMAT rgodf;
};
typedef DIDATAFORMAT* LPDIDATAFORMAT;
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002

// The predefined formats; the layer accepts these (by address or by equal
// contents) and refuses formats of its callers' own making.
extern const DIDATAFORMAT c_dfDIKeyboard;   // 256-byte key array
extern const DIDATAFORMAT c_dfDIMouse;      // DIMOUSESTATE, 16 bytes
extern const DIDATAFORMAT c_dfDIMouse2;     // DIMOUSESTATE2, 20 bytes
extern const DIDATAFORMAT c_dfDIJoystick;   // DIJOYSTATE, 80 bytes
extern const DIDATAFORMAT c_dfDIJoystick2;  // DIJOYSTATE2, 272 bytes

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "DIMOUSESTATE is 16 bytes");

struct DIMOUSESTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE2) == 20, "DIMOUSESTATE2 is 20 bytes");

#define DIMOFS_X 0
#define DIMOFS_Y 4
#define DIMOFS_Z 8
#define DIMOFS_BUTTON0 12
#define DIMOFS_BUTTON1 13
#define DIMOFS_BUTTON2 14
#define DIMOFS_BUTTON3 15
#define DIMOFS_BUTTON4 16
#define DIMOFS_BUTTON5 17
#define DIMOFS_BUTTON6 18
#define DIMOFS_BUTTON7 19

struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80, "DIJOYSTATE is 80 bytes");

struct DIJOYSTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[128];
    LONG lVX;
    LONG lVY;
    LONG lVZ;
    LONG lVRx;
    LONG lVRy;
    LONG lVRz;
    LONG rglVSlider[2];
    LONG lAX;
    LONG lAY;
    LONG lAZ;
    LONG lARx;
    LONG lARy;
    LONG lARz;
    LONG rglASlider[2];
    LONG lFX;
    LONG lFY;
    LONG lFZ;
    LONG lFRx;
    LONG lFRy;
    LONG lFRz;
    LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272, "DIJOYSTATE2 is 272 bytes");

#define DIJOFS_X 0
#define DIJOFS_Y 4
#define DIJOFS_Z 8
#define DIJOFS_RX 12
#define DIJOFS_RY 16
#define DIJOFS_RZ 20
#define DIJOFS_SLIDER(n) (24 + (n) * 4)
#define DIJOFS_POV(n) (32 + (n) * 4)
#define DIJOFS_BUTTON(n) (48 + (n))
#define DIJOFS_BUTTON0 DIJOFS_BUTTON(0)

// ---- keyboard codes (set-1 scan codes) ------------------------------------------

#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_OEM_102 0x56
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_F13 0x64
#define DIK_F14 0x65
#define DIK_F15 0x66
#define DIK_KANA 0x70
#define DIK_ABNT_C1 0x73
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_ABNT_C2 0x7E
#define DIK_NUMPADEQUALS 0x8D
#define DIK_PREVTRACK 0x90
#define DIK_AT 0x91
#define DIK_COLON 0x92
#define DIK_UNDERLINE 0x93
#define DIK_KANJI 0x94
#define DIK_STOP 0x95
#define DIK_AX 0x96
#define DIK_UNLABELED 0x97
#define DIK_NEXTTRACK 0x99
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_MUTE 0xA0
#define DIK_CALCULATOR 0xA1
#define DIK_PLAYPAUSE 0xA2
#define DIK_MEDIASTOP 0xA4
#define DIK_VOLUMEDOWN 0xAE
#define DIK_VOLUMEUP 0xB0
#define DIK_WEBHOME 0xB2
#define DIK_NUMPADCOMMA 0xB3
#define DIK_DIVIDE 0xB5
#define DIK_SYSRQ 0xB7
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
#define DIK_LWIN 0xDB
#define DIK_RWIN 0xDC
#define DIK_APPS 0xDD
#define DIK_POWER 0xDE
#define DIK_SLEEP 0xDF
#define DIK_WAKE 0xE3
#define DIK_WEBSEARCH 0xE5
#define DIK_WEBFAVORITES 0xE6
#define DIK_WEBREFRESH 0xE7
#define DIK_WEBSTOP 0xE8
#define DIK_WEBFORWARD 0xE9
#define DIK_WEBBACK 0xEA
#define DIK_MYCOMPUTER 0xEB
#define DIK_MAIL 0xEC
#define DIK_MEDIASELECT 0xED

#define DIK_BACKSPACE DIK_BACK
#define DIK_NUMPADSTAR DIK_MULTIPLY
#define DIK_LALT DIK_LMENU
#define DIK_CAPSLOCK DIK_CAPITAL
#define DIK_NUMPADMINUS DIK_SUBTRACT
#define DIK_NUMPADPLUS DIK_ADD
#define DIK_NUMPADPERIOD DIK_DECIMAL
#define DIK_NUMPADSLASH DIK_DIVIDE
#define DIK_RALT DIK_RMENU
#define DIK_UPARROW DIK_UP
#define DIK_PGUP DIK_PRIOR
#define DIK_LEFTARROW DIK_LEFT
#define DIK_RIGHTARROW DIK_RIGHT
#define DIK_DOWNARROW DIK_DOWN
#define DIK_PGDN DIK_NEXT
#define DIK_CIRCUMFLEX DIK_PREVTRACK

// ---- interfaces -------------------------------------------------------------------

struct IDirectInputDevice8A : public IUnknown {
    virtual HRESULT GetCapabilities(LPDIDEVCAPS caps) = 0;
    virtual HRESULT GetProperty(REFGUID prop, LPDIPROPHEADER header) = 0;
    virtual HRESULT SetProperty(REFGUID prop, LPCDIPROPHEADER header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD cbData, LPVOID data) = 0;
    // Removes the records it returns unless DIGDD_PEEK; a null array with
    // *inOut == INFINITE flushes the buffer.
    virtual HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA records, LPDWORD inOut, DWORD flags) = 0;
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) = 0;
    virtual HRESULT Poll() = 0;
};

struct IDirectInput8A : public IUnknown {
    virtual HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, LPUNKNOWN outer) = 0;
    virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) = 0;
    // DI_OK when the device is attached, DI_NOTATTACHED when not,
    // DIERR_DEVICENOTREG for an unknown GUID.
    virtual HRESULT GetDeviceStatus(REFGUID guidInstance) = 0;
};

// version must be DIRECTINPUT_VERSION; riid IID_IDirectInput8A.
HRESULT DirectInput8Create(HINSTANCE hinst, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer);
