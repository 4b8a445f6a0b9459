#include "activationcontext.h"

ModuleActivationContext::ModuleActivationContext(HMODULE module)
{
    const DWORD lastError = GetLastError();
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = module;
    request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    context_ = CreateActCtxW(&request);
    if (context_ != INVALID_HANDLE_VALUE) {
        active_ = ActivateActCtx(context_, &cookie_) != FALSE;
    }
    SetLastError(lastError);
}

ModuleActivationContext::~ModuleActivationContext()
{
    const DWORD lastError = GetLastError();
    if (active_) {
        DeactivateActCtx(0, cookie_);
    }
    if (context_ != INVALID_HANDLE_VALUE) {
        ReleaseActCtx(context_);
    }
    SetLastError(lastError);
}
