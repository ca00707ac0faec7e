// Reference counting for the layer's interface objects: derive from
// RefCounted<Interface> and implement QueryInterface for the IIDs you answer.
#pragma once

#include <atomic>

#include "platform/Com.h"

namespace qndx {
namespace platform {

template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

// An object that answers QueryInterface for IUnknown and `Own` alone.
template <class Interface, const IID& Own>
class AnswersOnly : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == Own) {
            this->AddRef();
            *out = static_cast<Interface*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
};

}  // namespace platform
}  // namespace qndx
