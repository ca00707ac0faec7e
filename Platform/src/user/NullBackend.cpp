// Window backend for runs without any SDL video: host windows exist only as
// ids, the pointer is a remembered position, message boxes are never shown.
#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

namespace {

class NullWindowBackend : public WindowBackend {
public:
    const char* Name() const override { return "null"; }
    bool HostDesktop(SIZE*, RECT*) override { return false; }
    uint32_t CreateHostWindow(const HostWindowState&) override {
        // Ids well above SDL's own, so the two never meet in one process.
        return m_nextId++;
    }
    void UpdateHostWindow(uint32_t, const HostWindowState&) override {}
    void DestroyHostWindow(uint32_t) override {}
    void SetPointer(bool, PointerShape) override {}
    bool GetPointer(POINT*) override { return false; }
    void WarpPointer(int, int) override {}
    bool ShowMessageBox(const std::string&, const std::string&, UINT, int*) override { return false; }

private:
    uint32_t m_nextId = 0x40000001u;
};

}  // namespace

std::unique_ptr<WindowBackend> CreateNullWindowBackend() { return std::unique_ptr<WindowBackend>(new NullWindowBackend()); }

}  // namespace platform
}  // namespace qndx
