// Processor identification behind the engine's CPU feature query: the real
// CPUID instruction on x86, or values a test injected.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "sim/SimInternal.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define QNDX_HAVE_CPUID 1
#endif

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

    static bool RealSupported() {
#ifdef QNDX_HAVE_CPUID
        // Also answers whether the EFLAGS ID bit toggles on 32-bit builds.
        return __get_cpuid_max(0, nullptr) != 0;
#else
        return false;
#endif
    }

    static bool RealQuery(int leaf, int regs[4]) {
        std::memset(regs, 0, 4 * sizeof(int));
#ifdef QNDX_HAVE_CPUID
        if (!RealSupported()) return false;
        unsigned a = 0, b = 0, c = 0, d = 0;
        // Out-of-range leaves give zeros instead of the processor's
        // repeat of its highest leaf.
        if (__get_cpuid(static_cast<unsigned>(leaf), &a, &b, &c, &d)) {
            regs[0] = static_cast<int>(a);
            regs[1] = static_cast<int>(b);
            regs[2] = static_cast<int>(c);
            regs[3] = static_cast<int>(d);
        }
        return true;
#else
        return false;
#endif
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
