// The library's own activation context around a dialog: made from the
// module's isolation-aware manifest (common controls version 6), so that the
// controls the dialog creates are the themed ones whatever the host program's
// manifest says.
#pragma once

#include <windows.h>

// Creates the activation context of module's manifest resource 2 and
// activates it on the calling thread for the guard's lifetime; deactivates
// and releases it when the guard ends. A context is made for each guard, so
// nothing of it outlives the dialog. When creating or activating fails,
// nothing stays active and the dialog is made as the host's context has it.
// The thread's last error is kept through all of it.
class ModuleActivationContext {
public:
    explicit ModuleActivationContext(HMODULE module);
    ~ModuleActivationContext();
    ModuleActivationContext(const ModuleActivationContext&) = delete;
    ModuleActivationContext& operator=(const ModuleActivationContext&) = delete;

    bool active() const { return active_; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};
