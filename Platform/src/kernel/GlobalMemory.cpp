// Global memory blocks for memory streams and picture loading. A fixed block's
// handle is its address; a movable block's handle is a separate token that
// GlobalLock turns into the address. Only handles this allocator gave out
// are accepted, so a stray or freed handle fails instead of corrupting memory.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "kernel/Errors.h"
#include "platform/Kernel.h"

namespace qndx {
namespace platform {
namespace {

struct Block {
    unsigned char* data = nullptr;
    SIZE_T size = 0;
    bool movable = false;
    unsigned locks = 0;
};

class GlobalHeap {
public:
    static GlobalHeap& Get() {
        static GlobalHeap* heap = new GlobalHeap();  // blocks may be freed during static destruction
        return *heap;
    }

    HGLOBAL Alloc(UINT flags, SIZE_T bytes) {
        Block block;
        block.movable = (flags & GMEM_MOVEABLE) != 0;
        block.size = bytes;
        // One byte at least so a fixed block of size 0 still has an address.
        block.data = static_cast<unsigned char*>((flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                                                         : std::malloc(bytes ? bytes : 1));
        if (block.data == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        std::lock_guard<std::mutex> guard(m_lock);
        HGLOBAL handle = block.movable ? NewToken() : static_cast<HGLOBAL>(block.data);
        m_blocks[handle] = block;
        return handle;
    }

    HGLOBAL ReAlloc(HGLOBAL handle, SIZE_T bytes, UINT flags) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_blocks.find(handle);
        if (it == m_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        Block& block = it->second;
        if (flags & GMEM_MODIFY) return handle;  // attribute changes only; nothing to change here
        // A fixed block (its handle is its address) and a locked movable one
        // (the caller holds the address) may move only when the flags allow;
        // otherwise they can shrink in place but not grow.
        const bool mayMove = block.movable ? (block.locks == 0 || (flags & GMEM_MOVEABLE)) : (flags & GMEM_MOVEABLE);
        if (!mayMove) {
            if (bytes > block.size) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            block.size = bytes;
            return handle;
        }
        auto* moved = static_cast<unsigned char*>(std::realloc(block.data, bytes ? bytes : 1));
        if (moved == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if ((flags & GMEM_ZEROINIT) && bytes > block.size) std::memset(moved + block.size, 0, bytes - block.size);
        block.data = moved;
        block.size = bytes;
        if (block.movable) return handle;
        Block copy = block;
        m_blocks.erase(it);
        m_blocks[static_cast<HGLOBAL>(moved)] = copy;
        return static_cast<HGLOBAL>(moved);
    }

    LPVOID Lock(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_blocks.find(handle);
        if (it == m_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (it->second.size == 0 && it->second.movable) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // an empty movable block has no memory to show
            return nullptr;
        }
        if (it->second.movable) ++it->second.locks;
        return it->second.data;
    }

    BOOL Unlock(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_blocks.find(handle);
        if (it == m_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        Block& block = it->second;
        if (!block.movable) return TRUE;  // fixed blocks are never locked
        if (block.locks == 0) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
        if (--block.locks == 0) {
            SetLastError(NO_ERROR);
            return FALSE;
        }
        return TRUE;
    }

    bool Free(HGLOBAL handle) {
        unsigned char* data;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto it = m_blocks.find(handle);
            if (it == m_blocks.end()) return false;
            data = it->second.data;
            m_blocks.erase(it);
        }
        std::free(data);
        return true;
    }

    SIZE_T Size(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_blocks.find(handle);
        if (it == m_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        return it->second.size;
    }

private:
    // Movable handles are odd values, so they never equal a block address.
    HGLOBAL NewToken() {
        m_nextToken += 2;
        return reinterpret_cast<HGLOBAL>(m_nextToken);
    }

    std::mutex m_lock;
    std::unordered_map<HGLOBAL, Block> m_blocks;
    uintptr_t m_nextToken = 0x100001;
};

}  // namespace
}  // namespace platform
}  // namespace qndx

using qndx::platform::GlobalHeap;

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (qndx::platform::TakeKernelFault("GlobalAlloc")) return nullptr;
    return GlobalHeap::Get().Alloc(uFlags, dwBytes);
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) { return GlobalHeap::Get().ReAlloc(hMem, dwBytes, uFlags); }

LPVOID GlobalLock(HGLOBAL hMem) { return GlobalHeap::Get().Lock(hMem); }

BOOL GlobalUnlock(HGLOBAL hMem) { return GlobalHeap::Get().Unlock(hMem); }

HGLOBAL GlobalFree(HGLOBAL hMem) {
    if (hMem == nullptr) return nullptr;
    if (GlobalHeap::Get().Free(hMem)) return nullptr;
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
}

SIZE_T GlobalSize(HGLOBAL hMem) { return GlobalHeap::Get().Size(hMem); }
