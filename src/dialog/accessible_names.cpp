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

// ole32 is loaded only when the window is up: imported, it and the DLLs it needs would be
// loaded at every start, before the dialog shows. It is a KnownDLL, so it comes from System32.
AccessibleNames::Com::Com() noexcept : m_ole32(::LoadLibraryA("ole32.dll")) {
    const HMODULE ole32 = m_ole32.get();
    const auto initialize = framework::LookUp<decltype(::CoInitializeEx)>(ole32, "CoInitializeEx");
    m_uninitialize = framework::LookUp<decltype(::CoUninitialize)>(ole32, "CoUninitialize");
    m_createInstance = framework::LookUp<decltype(::CoCreateInstance)>(ole32, "CoCreateInstance");
    // S_FALSE, when the thread was in the apartment already, counts too: every success is
    // balanced.
    m_entered = initialize != nullptr && m_uninitialize != nullptr && m_createInstance != nullptr &&
                SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

AccessibleNames::Com::~Com() {
    if (m_entered) {
        m_uninitialize();
    }
}

IAccPropServices* AccessibleNames::Com::CreatePropServices() const noexcept {
    // Through COM only: the service's own DLL is not a KnownDLL, so the program must not import
    // it.
    IAccPropServices* service = nullptr;
    if (!m_entered ||
        FAILED(m_createInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&service)))) {
        return nullptr;
    }
    return service;
}

AccessibleNames::AccessibleNames(HWND dialog, std::span<const ControlName> names) noexcept
    : m_dialog(dialog), m_names(names) {
    m_service.reset(m_com.CreatePropServices());
    if (!m_service) {
        return;
    }
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
