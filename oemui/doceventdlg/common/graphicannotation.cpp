#include "graphicannotation.h"

// The annotation's identifiers are defined here, once for the library.
#include <initguid.h>

#include <oleacc.h>

GraphicAnnotations::~GraphicAnnotations()
{
    Withdraw();
    if (services_ != nullptr) {
        services_->Release();
        services_ = nullptr;
    }
    if (comOwed_) {
        CoUninitialize();
    }
}

bool GraphicAnnotations::StartServices()
{
    if (comTried_) {
        return services_ != nullptr;
    }
    comTried_ = true;
    // A thread without COM gets an apartment of its own for the dialog's
    // life; a thread that has one keeps it (S_FALSE owes an uninitialize as
    // well; another model, RPC_E_CHANGED_MODE, owes nothing and serves too).
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comOwed_ = SUCCEEDED(started);
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) {
        return false;
    }
    void* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                &services))) {
        return false;
    }
    services_ = static_cast<IAccPropServices*>(services);
    return true;
}

bool GraphicAnnotations::Announce(HWND window)
{
    if (window == nullptr) {
        return false;
    }
    // The frame takes WM_ENABLE without drawing anything.
    EnableWindow(window, TRUE);
    if (count_ == kCapacity || !StartServices()) {
        return false;
    }
    VARIANT role{};
    role.vt = VT_I4;
    role.lVal = ROLE_SYSTEM_GRAPHIC;
    VARIANT state{};
    state.vt = VT_I4;
    state.lVal = STATE_SYSTEM_READONLY;
    const DWORD client = static_cast<DWORD>(OBJID_CLIENT);
    const bool annotated = SUCCEEDED(services_->SetHwndProp(window, client, CHILDID_SELF, PROPID_ACC_ROLE, role)) &&
                           SUCCEEDED(services_->SetHwndProp(window, client, CHILDID_SELF, PROPID_ACC_STATE, state));
    // Taken back later even when only one of the two was taken.
    announced_[count_++] = window;
    return annotated;
}

void GraphicAnnotations::Withdraw()
{
    if (services_ == nullptr) {
        count_ = 0;
        return;
    }
    const MSAAPROPID properties[] = {PROPID_ACC_ROLE, PROPID_ACC_STATE};
    for (size_t i = 0; i < count_; ++i) {
        services_->ClearHwndProps(announced_[i], static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, properties, 2);
    }
    count_ = 0;
}
