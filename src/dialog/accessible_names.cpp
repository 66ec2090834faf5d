// The GUIDs that oleacc.h declares are defined here, where they are used: the SDK's libuuid holds
// every GUID of the SDK in one object, and would bring 40 KB of them along for these three.
#include <windows.h>

#include <initguid.h>

#include <oleacc.h>

#include "dialog/accessible_names.h"

namespace dialog {

namespace {

// The control's own accessible object (its client area, not a part of it), as the system makes
// it for every window.
constexpr DWORD kControlObject = static_cast<DWORD>(OBJID_CLIENT);
constexpr DWORD kControlItself = CHILDID_SELF;

} // namespace

AccessibleNames::Apartment::Apartment() noexcept
    : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}

AccessibleNames::Apartment::~Apartment() {
    // S_FALSE (the thread was in the apartment already) counts too: every success is balanced.
    if (Entered()) {
        ::CoUninitialize();
    }
}

AccessibleNames::AccessibleNames(HWND dialog, std::span<const ControlName> names) noexcept
    : m_dialog(dialog), m_names(names) {
    if (!m_apartment.Entered()) {
        return;
    }
    // Through COM only: the service's DLL is not one that Windows always loads from System32,
    // so the program must not import it.
    IAccPropServices* service = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAccPropServices, reinterpret_cast<void**>(&service))) ||
        service == nullptr) {
        return;
    }
    m_service.reset(service);
    for (const ControlName& control : m_names) {
        if (FAILED(m_service->SetHwndPropStr(::GetDlgItem(m_dialog, control.id), kControlObject,
                                             kControlItself, PROPID_ACC_NAME, control.name))) {
            Clear();
            return;
        }
        ++m_named;
    }
}

void AccessibleNames::Clear() noexcept {
    if (!m_service) {
        return;
    }
    for (const ControlName& control : m_names.first(m_named)) {
        m_service->ClearHwndProps(::GetDlgItem(m_dialog, control.id), kControlObject,
                                  kControlItself, &PROPID_ACC_NAME, 1);
    }
    m_named = 0;
    m_service.reset();
}

} // namespace dialog
