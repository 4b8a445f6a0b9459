// Replaces one import of a loaded module for the lifetime of a guard, by
// rewriting the module's import address table. Calls the module makes through
// that import reach the replacement; calls made elsewhere do not.
#pragma once

#include <windows.h>

class ImportPatch {
public:
    // dll: the imported DLL's name, compared without case (for example
    // "KERNEL32.dll"); null matches every DLL. Patches every slot that imports
    // function by name.
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // True when at least one slot was replaced.
    bool active() const { return count_ > 0; }
    // The function the first slot pointed to before.
    template <class Function>
    Function original() const
    {
        return reinterpret_cast<Function>(const_cast<void*>(original_));
    }

private:
    static constexpr int kMaxSlots = 8;
    void** slots_[kMaxSlots] = {};
    const void* saved_[kMaxSlots] = {};
    const void* original_ = nullptr;
    int count_ = 0;
};
