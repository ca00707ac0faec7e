// Processor identification behind the engine's CPU feature query: the pixel
// library's processor probe (the program's one), or values a test injected.
#include <cstring>
#include <map>
#include <mutex>

#include "pixels/Pixels.h"
#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

struct Regs {
    int r[4];
};

class CpuQuery {
public:
    static CpuQuery& Get() {
        static CpuQuery* query = [] {
            sim::internal::AddResetHook(&CpuQuery::ResetHook);
            return new CpuQuery();
        }();
        return *query;
    }

    bool Supported() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_injected) return m_idFlag;
        }
        return RealSupported();
    }

    bool Query(int leaf, int regs[4]) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_injected) {
                std::memset(regs, 0, 4 * sizeof(int));
                if (!m_idFlag) return false;
                auto it = m_leaves.find(leaf);
                if (it != m_leaves.end()) std::memcpy(regs, it->second.r, sizeof it->second.r);
                return true;
            }
        }
        return RealQuery(leaf, regs);
    }

    void Inject(bool idFlag) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_injected = true;
        m_idFlag = idFlag;
        m_leaves.clear();
    }

    void SetLeaf(int leaf, const Regs& regs) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_injected) {
            // Setting a leaf implies a processor that identifies itself.
            m_injected = true;
            m_idFlag = true;
        }
        m_leaves[leaf] = regs;
    }

    void UseReal() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_injected = false;
        m_leaves.clear();
    }

private:
    static void ResetHook() { Get().UseReal(); }

    static bool RealSupported() { return pixels::HasCpuid(); }

    static bool RealQuery(int leaf, int regs[4]) {
        uint32_t r[4];
        const bool ok = pixels::Cpuid(static_cast<uint32_t>(leaf), 0, r);
        for (int i = 0; i < 4; ++i) regs[i] = static_cast<int>(r[i]);
        return ok;
    }

    std::mutex m_lock;
    bool m_injected = false;
    bool m_idFlag = true;
    std::map<int, Regs> m_leaves;
};

}  // namespace
}  // namespace platform

namespace sim {
void InjectCpu(bool idFlagToggles) { platform::CpuQuery::Get().Inject(idFlagToggles); }
void SetCpuidLeaf(int leaf, int eax, int ebx, int ecx, int edx) {
    platform::CpuQuery::Get().SetLeaf(leaf, platform::Regs{{eax, ebx, ecx, edx}});
}
void UseRealCpu() { platform::CpuQuery::Get().UseReal(); }
}  // namespace sim
}  // namespace qndx

BOOL QndxCpuidSupported() { return qndx::platform::CpuQuery::Get().Supported() ? TRUE : FALSE; }

BOOL QndxCpuid(int leaf, int regs[4]) {
    if (regs == nullptr) return FALSE;
    return qndx::platform::CpuQuery::Get().Query(leaf, regs) ? TRUE : FALSE;
}
