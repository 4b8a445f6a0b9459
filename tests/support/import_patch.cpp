#include "import_patch.h"

#include <cstring>

namespace {

void WriteSlot(void** slot, const void* value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = const_cast<void*>(value);
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof(*slot), protection, &ignored);
}

}  // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return;
    }
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (dll != nullptr && _stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) {
            continue;
        }
        if (descriptor->OriginalFirstThunk == 0) {
            continue;  // no names to match against
        }
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0 || count_ == kMaxSlots) {
                continue;
            }
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (original_ == nullptr) {
                original_ = *slot;
            }
            slots_[count_] = slot;
            saved_[count_] = *slot;
            ++count_;
            WriteSlot(slot, replacement);
        }
    }
}

ImportPatch::~ImportPatch()
{
    for (int i = count_ - 1; i >= 0; --i) {
        WriteSlot(slots_[i], saved_[i]);
    }
}
