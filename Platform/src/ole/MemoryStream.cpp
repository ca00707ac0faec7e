// Streams over global memory blocks: the carrier the JPEG loader uses to hand
// its bytes to the picture object. The stream keeps its own size and position;
// writes past the end grow the block.
#include <cstdint>
#include <cstring>

#include "platform/Kernel.h"
#include "platform/OlePicture.h"
#include "sim/RefCounted.h"
#include "sim/SimInternal.h"

const IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3A}};
const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace qndx {
namespace platform {
namespace {

class MemoryStream final : public RefCounted<IStream> {
public:
    MemoryStream(HGLOBAL block, ULONGLONG size, bool owns) : m_block(block), m_size(size), m_owns(owns) {}

    HGLOBAL Block() const { return m_block; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
            *ppv = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        HRESULT fault;
        if (sim::internal::TakeFault("IStream::Read", &fault)) {
            if (pcbRead) *pcbRead = 0;
            return fault;
        }
        if (pcbRead) *pcbRead = 0;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        ULONGLONG left = m_pos < m_size ? m_size - m_pos : 0;
        ULONG count = (ULONG)(left < cb ? left : cb);
        if (count) {
            const BYTE* base = static_cast<const BYTE*>(GlobalLock(m_block));
            if (!base) return STG_E_READFAULT;
            std::memcpy(pv, base + m_pos, count);
            GlobalUnlock(m_block);
            m_pos += count;
        }
        if (pcbRead) *pcbRead = count;
        return count == cb ? S_OK : S_FALSE;
    }

    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) *pcbWritten = 0;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (cb == 0) return S_OK;
        ULONGLONG end = m_pos + cb;
        if (end > m_size) {
            HRESULT hr = Resize(end);
            if (FAILED(hr)) return hr;
        }
        BYTE* base = static_cast<BYTE*>(GlobalLock(m_block));
        if (!base) return STG_E_MEDIUMFULL;
        std::memcpy(base + m_pos, pv, cb);
        GlobalUnlock(m_block);
        m_pos = end;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
        LONGLONG base;
        switch (origin) {
            case STREAM_SEEK_SET: base = 0; break;
            case STREAM_SEEK_CUR: base = (LONGLONG)m_pos; break;
            case STREAM_SEEK_END: base = (LONGLONG)m_size; break;
            default: return STG_E_INVALIDFUNCTION;
        }
        // base is never negative: only a forward move can leave the range.
        const LONGLONG move64 = move.QuadPart;
        if (move64 > 0 && base > INT64_MAX - move64) return STG_E_INVALIDFUNCTION;
        LONGLONG target = base + move64;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        // Beyond the end is allowed: reads there give nothing, writes grow.
        m_pos = (ULONGLONG)target;
        if (newPos) newPos->QuadPart = m_pos;
        return S_OK;
    }

    HRESULT SetSize(ULARGE_INTEGER newSize) override { return Resize(newSize.QuadPart); }

protected:
    ~MemoryStream() override {
        if (m_owns && m_block) GlobalFree(m_block);
    }

private:
    HRESULT Resize(ULONGLONG size) {
        // Blocks are addressed with 32-bit stream offsets by the callers.
        if (size > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
        if (size > GlobalSize(m_block)) {
            HGLOBAL grown = GlobalReAlloc(m_block, (SIZE_T)size, GMEM_MOVEABLE | GMEM_ZEROINIT);
            if (!grown) return STG_E_MEDIUMFULL;
            m_block = grown;
        }
        m_size = size;
        return S_OK;
    }

    HGLOBAL m_block;
    ULONGLONG m_size;
    ULONGLONG m_pos = 0;
    bool m_owns;
};

// The block of a stream made here, or NULL for any other stream.
HGLOBAL StreamBlock(IStream* stream) {
    MemoryStream* ms = dynamic_cast<MemoryStream*>(stream);
    return ms ? ms->Block() : nullptr;
}

}  // namespace

}  // namespace platform
}  // namespace qndx

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
    using namespace qndx;
    sim::internal::Record("CreateStreamOnHGlobal");
    if (!ppstm) return E_INVALIDARG;
    *ppstm = nullptr;
    HRESULT fault;
    if (sim::internal::TakeFault("CreateStreamOnHGlobal", &fault)) return fault;
    HGLOBAL block = hGlobal;
    ULONGLONG size = 0;
    if (block) {
        size = GlobalSize(block);
    } else {
        // A stream of its own: an empty block that grows with the writes.
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 0);
        if (!block) return E_OUTOFMEMORY;
    }
    // Without fDeleteOnRelease the caller frees the block (GetHGlobalFromStream
    // gives it for a block the stream allocated).
    *ppstm = new platform::MemoryStream(block, size, fDeleteOnRelease != FALSE);
    return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
    if (!phglobal) return E_INVALIDARG;
    *phglobal = nullptr;
    if (!pstm) return E_INVALIDARG;
    HGLOBAL block = qndx::platform::StreamBlock(pstm);
    if (!block) return E_INVALIDARG;
    *phglobal = block;
    return S_OK;
}
