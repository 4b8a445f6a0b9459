#include "accessible.h"

#include <initguid.h>

#include <oleacc.h>

AccessibleView ReadAccessible(HWND window)
{
    // IID_IAccessible, spelled out: MinGW's oleacc import library names an
    // import stub under that symbol.
    static const IID kAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    AccessibleView view;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return view;
    }
    view.found = true;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (object->get_accName(self, &name) == S_OK && name != nullptr) {
        view.name.assign(name, SysStringLen(name));
    }
    SysFreeString(name);
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) {
        view.role = role.lVal;
    }
    VARIANT state{};
    if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4) {
        view.state = state.lVal;
    }
    object->Release();
    return view;
}

bool PlatformTakesAnnotations()
{
    const HWND window =
        CreateWindowExW(0, L"Static", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    IAccPropServices* services = nullptr;
    bool taken = false;
    if (window != nullptr &&
        SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                   reinterpret_cast<void**>(&services)))) {
        VARIANT role{};
        role.vt = VT_I4;
        role.lVal = ROLE_SYSTEM_GRAPHIC;
        taken = SUCCEEDED(services->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                                PROPID_ACC_ROLE, role)) &&
                ReadAccessible(window).role == ROLE_SYSTEM_GRAPHIC;
        const MSAAPROPID properties[] = {PROPID_ACC_ROLE};
        services->ClearHwndProps(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, properties, 1);
        services->Release();
    }
    if (window != nullptr) {
        DestroyWindow(window);
    }
    return taken;
}
