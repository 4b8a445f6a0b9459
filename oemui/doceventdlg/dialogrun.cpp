#include "dialogrun.h"

#include "common/activationcontext.h"
#include "module.h"

HMODULE ReferenceThisModule()
{
    HMODULE module = nullptr;
    const auto anyAddressInside = reinterpret_cast<LPCWSTR>(&g_moduleInstance);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, anyAddressInside, &module)) {
        return nullptr;
    }
    return module;
}

INT_PTR RunModalDialog(const ResourceStrings& strings, DialogTemplates templates, DialogOwner owner,
                       DLGPROC procedure, void* state)
{
    const HWND ownerWindow = owner == DialogOwner::Foreground ? GetForegroundWindow() : nullptr;
    const WORD templateId = strings.rightToLeft ? templates.rightToLeft : templates.leftToRight;
    // The themed controls, whatever the host's manifest says.
    const ModuleActivationContext themedControls(g_moduleInstance);
    return DialogBoxParamW(g_moduleInstance, MAKEINTRESOURCEW(templateId), ownerWindow, procedure,
                           reinterpret_cast<LPARAM>(state));
}
