// One DirectInput device object: the system keyboard, the system mouse or a
// game controller. Each object has its own data format, cooperative level,
// acquisition state and record buffer; the hub feeds it while it is acquired.
#pragma once

#include <deque>

#include "dinput/InputHub.h"
#include "platform/DirectInput.h"
#include "sim/RefCounted.h"

namespace qndx {
namespace platform {
namespace dinput {

class Device : public RefCounted<IDirectInputDevice8A> {
public:
    // controller is the backend's id for a game controller, else -1.
    Device(DeviceKind kind, int32_t controller, const GUID& instance);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    HRESULT GetCapabilities(LPDIDEVCAPS caps) override;
    HRESULT GetProperty(REFGUID prop, LPDIPROPHEADER header) override;
    HRESULT SetProperty(REFGUID prop, LPCDIPROPHEADER header) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD cbData, LPVOID data) override;
    HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA records, LPDWORD inOut, DWORD flags) override;
    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override;
    HRESULT Poll() override;

    // Hub side.
    DeviceKind Kind() const { return m_kind; }
    int32_t Controller() const { return m_controller; }
    bool IsAcquired() const { return m_state == State::Acquired; }
    // A controller device whose controller could not be opened is unusable.
    bool IsOpen() const { return m_kind != DeviceKind::Controller || m_opened; }
    bool IsExclusive() const { return (m_level & DISCL_EXCLUSIVE) != 0; }
    bool IsForegroundLevel() const { return (m_level & DISCL_FOREGROUND) != 0; }
    HWND Window() const { return m_hwnd; }
    // Appends one record; a full buffer keeps its older records and reports
    // the overflow on the next read.
    void Push(DWORD ofs, DWORD data, DWORD sequence);
    void AddMotion(int dx, int dy, int dz);
    // The platform took the device away (focus lost, controller unplugged).
    void Lose();
    void ClearData();
    // Offset of a controller axis (0..7) in the current format, or -1.
    int AxisOffset(int axis) const;
    // A raw controller axis value scaled by this device's range, dead zone
    // and saturation for that axis.
    LONG ScaleAxis(int axis, int raw) const;
    bool HasButtonOffset(int button) const;
    bool HasPovOffset(int hat) const;

    // Fills a description of the device (also used by enumeration).
    static bool Describe(DeviceKind kind, int32_t controller, DIDEVICEINSTANCEA* out);
    static GUID ControllerGuid(int32_t id);
    // The controller id encoded in an instance GUID, or -1.
    static int32_t ControllerFromGuid(const GUID& guid);

private:
    enum class State { NotAcquired, Acquired, Lost };
    struct AxisProps {
        LONG min = 0;
        LONG max = 65535;
        DWORD deadZone = 0;
        DWORD saturation = 10000;
    };

    ~Device() override;
    // Fails while not acquired: DIERR_INPUTLOST once after a loss, then
    // DIERR_NOTACQUIRED.
    HRESULT __CheckAcquired();
    bool __Attached();
    void __FillKeyboard(BYTE* out);
    void __FillMouse(BYTE* out, DWORD size);
    HRESULT __FillController(BYTE* out, DWORD size);
    // Axis index for a property header, or -1 for the whole device, or -2
    // when the header names nothing here.
    int __AxisFromHeader(LPCDIPROPHEADER header) const;

    DeviceKind m_kind;
    int32_t m_controller;
    GUID m_instance;
    bool m_opened = false;
    DWORD m_dataSize = 0;  // 0 until a format is set
    DWORD m_level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    HWND m_hwnd = nullptr;
    State m_state = State::NotAcquired;
    DWORD m_bufferSize = 0;
    std::deque<DIDEVICEOBJECTDATA> m_buffer;
    bool m_overflow = false;
    LONG m_motion[3] = {0, 0, 0};
    AxisProps m_axes[ControllerState::kAxes];
};

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
