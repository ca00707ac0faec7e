// The controller backend of runs without SDL's joystick side: no controllers,
// and the test panel's virtual ones cannot be attached.
#include <cstdio>

#include "dinput/Controllers.h"

namespace qndx {
namespace platform {
namespace dinput {
namespace {

class NullControllers : public ControllerBackend {
public:
    std::vector<ControllerInfo> List() override { return {}; }
    bool Find(int32_t, ControllerInfo*) override { return false; }
    bool Open(int32_t) override { return false; }
    void Close(int32_t) override {}
    bool IsAttached(int32_t) override { return false; }
    bool Read(int32_t, ControllerState*) override { return false; }
    void Refresh() override {}
    int32_t AttachVirtual(const char*, int, int, int, bool) override {
        std::fprintf(stderr, "sim: could not attach a controller: no joystick backend\n");
        return -1;
    }
    bool SetVirtual(int32_t id, ControllerControl, int, int) override {
        std::fprintf(stderr, "sim: controller %d is not attached here\n", static_cast<int>(id));
        return false;
    }
    bool DetachVirtual(int32_t) override { return false; }
    std::vector<int32_t> VirtualIds() const override { return {}; }
};

}  // namespace

std::unique_ptr<ControllerBackend> MakeNullControllerBackend() {
    return std::unique_ptr<ControllerBackend>(new NullControllers());
}

}  // namespace dinput
}  // namespace platform
}  // namespace qndx
