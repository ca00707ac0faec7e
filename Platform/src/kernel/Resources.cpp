// Module resources: a program registers its resources in code
// (QndxRegisterResource) and the engine finds them by type and name with
// FindResourceA / LoadResource / LockResource / SizeofResource. Registered
// bytes are never moved or freed while the program runs (replacing or
// unregistering only changes what later look-ups find), so pointers handed
// out stay valid, as resources of a loaded module do.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kernel/Errors.h"
#include "platform/Kernel.h"
#include "platform/sim/Sim.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

// What an HRSRC points at.
struct ResourceEntry {
    std::vector<unsigned char> bytes;  // the data plus one NUL, so text resources end
    DWORD size = 0;
};

// "#<number>" for integer names (MAKEINTRESOURCEA or "#123"), else the name
// in upper case: look-ups ignore case.
std::string KeyOf(LPCSTR id) {
    if (IS_INTRESOURCE(id)) return "#" + std::to_string(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(id)));
    if (id[0] == '#' && id[1] != '\0' && std::strspn(id + 1, "0123456789") == std::strlen(id + 1))
        return "#" + std::to_string(std::strtoul(id + 1, nullptr, 10));
    std::string key(id);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

class ResourceTable {
public:
    static ResourceTable& Get() {
        static ResourceTable* table = [] {
            sim::internal::AddResetHook(&ResourceTable::ResetHook);
            return new ResourceTable();
        }();
        return *table;
    }

    bool Register(const std::string& type, const std::string& name, const unsigned char* data, size_t size) {
        auto entry = std::make_unique<ResourceEntry>();
        entry->bytes.assign(data, data + size);
        entry->bytes.push_back(0);
        entry->size = static_cast<DWORD>(size);
        std::lock_guard<std::mutex> guard(m_lock);
        m_named[type][name] = entry.get();
        m_all.insert(entry.get());
        m_owned.push_back(std::move(entry));
        return true;
    }

    bool Unregister(const std::string& type, const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto t = m_named.find(type);
        if (t == m_named.end() || t->second.erase(name) == 0) return false;
        if (t->second.empty()) m_named.erase(t);
        return true;
    }

    // NULL with the reason in the last error.
    ResourceEntry* Find(const std::string& type, const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto t = m_named.find(type);
        if (t == m_named.end()) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return nullptr;
        }
        auto n = t->second.find(name);
        if (n == t->second.end()) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        return n->second;
    }

    bool IsEntry(HRSRC handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_all.count(reinterpret_cast<ResourceEntry*>(handle)) != 0;
    }

private:
    static void ResetHook() {
        ResourceTable& r = Get();
        std::lock_guard<std::mutex> guard(r.m_lock);
        r.m_named.clear();
        r.m_all.clear();
        r.m_owned.clear();
    }

    std::mutex m_lock;
    std::map<std::string, std::map<std::string, ResourceEntry*>> m_named;
    std::set<ResourceEntry*> m_all;
    std::vector<std::unique_ptr<ResourceEntry>> m_owned;
};

bool IsOurModule(HMODULE module) { return module == nullptr || module == GetModuleHandleA(nullptr); }

ResourceEntry* EntryOf(HMODULE module, HRSRC handle) {
    if (!IsOurModule(module) || handle == nullptr || !ResourceTable::Get().IsEntry(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<ResourceEntry*>(handle);
}

}  // namespace
}  // namespace platform
}  // namespace qndx

using namespace qndx::platform;

BOOL QndxRegisterResource(LPCSTR lpType, LPCSTR lpName, LPCVOID lpData, DWORD cbData) {
    if (lpType == nullptr || lpName == nullptr || (lpData == nullptr && cbData > 0) ||
        (!IS_INTRESOURCE(lpType) && lpType[0] == '\0') || (!IS_INTRESOURCE(lpName) && lpName[0] == '\0')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto* data = static_cast<const unsigned char*>(lpData);
    size_t size = cbData;
    const std::string typeKey = KeyOf(lpType);
    if (typeKey == KeyOf(RT_BITMAP)) {
        // A whole .bmp file: keep the packed DIB behind its file header.
        if (size >= 14 && data[0] == 'B' && data[1] == 'M') {
            data += 14;
            size -= 14;
        }
        if (size < 12 || ReadLe32(data) < 12 || ReadLe32(data) > size) {
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
    }
    return ResourceTable::Get().Register(typeKey, KeyOf(lpName), data, size) ? TRUE : FALSE;
}

BOOL QndxUnregisterResource(LPCSTR lpType, LPCSTR lpName) {
    if (lpType == nullptr || lpName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!ResourceTable::Get().Unregister(KeyOf(lpType), KeyOf(lpName))) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    qndx::sim::internal::Record("FindResourceA", [&] {
        auto show = [](LPCSTR id) { return id == nullptr ? std::string("NULL") : KeyOf(id); };
        return show(lpName) + ", " + show(lpType);
    });
    if (TakeKernelFault("FindResourceA")) return nullptr;
    if (!IsOurModule(hModule)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (lpName == nullptr || lpType == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(ResourceTable::Get().Find(KeyOf(lpType), KeyOf(lpName)));
}

HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    if (TakeKernelFault("LoadResource")) return nullptr;
    ResourceEntry* entry = EntryOf(hModule, hResInfo);
    return entry ? static_cast<HGLOBAL>(entry->bytes.data()) : nullptr;
}

LPVOID LockResource(HGLOBAL hResData) {
    if (TakeKernelFault("LockResource")) return nullptr;
    return hResData;
}

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    ResourceEntry* entry = EntryOf(hModule, hResInfo);
    return entry ? entry->size : 0;
}

BOOL FreeResource(HGLOBAL hResData) { return FALSE; }
