// The GUIDs that oleacc.h declares are defined here, where they are used: the SDK's libuuid holds
// every GUID of the SDK in one object, and would bring 40 KB of them along for these three.
#include <windows.h>

#include <initguid.h>

#include <oleacc.h>

#include "dialog/accessible_names.h"

namespace dialog {

namespace {

// The window's own accessible object (its client area, not a part of it), as the system makes
// it for every window; the service takes it unsigned.
constexpr DWORD kWindowObject = static_cast<DWORD>(OBJID_CLIENT);
constexpr DWORD kWindowItself = CHILDID_SELF;

// UI Automation's Name property. The service takes a UI Automation property's GUID in place of
// an MSAA property, and gives it to clients of UI Automation, which would otherwise make the name
// up from the MSAA one, or from the window. MinGW's headers do not declare it.
constexpr GUID kUiaNameProperty = {
    0xc3a6921b, 0x4a99, 0x44f1, {0xbc, 0xa6, 0x61, 0x18, 0x70, 0x52, 0xc4, 0x31}};

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

AccessibleNames::AccessibleNames(HWND dialog, const wchar_t* dialogName,
                                 std::span<const ControlName> controls) noexcept
    : m_dialog(dialog), m_dialogName(dialogName), m_controls(controls) {
    m_service.reset(m_com.CreatePropServices());
    if (!m_service) {
        return;
    }
    // The kinds apart: a Windows whose service refuses UI Automation ids still gets MSAA names.
    m_msaaNamed = Give(PROPID_ACC_NAME);
    m_uiaNamed = Give(kUiaNameProperty);
    if (!m_msaaNamed && !m_uiaNamed) {
        m_service.reset();
        return;
    }
    // The names come after the window is up: a client that has read them since keeps what it
    // read until it hears of the change.
    for (std::size_t index = 0; index < Count(); ++index) {
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Window(index), OBJID_CLIENT, CHILDID_SELF);
    }
}

HWND AccessibleNames::Window(std::size_t index) const noexcept {
    return index == 0 ? m_dialog : ::GetDlgItem(m_dialog, m_controls[index - 1].id);
}

const wchar_t* AccessibleNames::Name(std::size_t index) const noexcept {
    return index == 0 ? m_dialogName : m_controls[index - 1].name;
}

bool AccessibleNames::Give(const MSAAPROPID& property) noexcept {
    for (std::size_t index = 0; index < Count(); ++index) {
        if (FAILED(m_service->SetHwndPropStr(Window(index), kWindowObject, kWindowItself, property,
                                             Name(index)))) {
            TakeBack(property, index);
            return false;
        }
    }
    return true;
}

void AccessibleNames::TakeBack(const MSAAPROPID& property, std::size_t count) noexcept {
    for (std::size_t index = 0; index < count; ++index) {
        m_service->ClearHwndProps(Window(index), kWindowObject, kWindowItself, &property, 1);
    }
}

void AccessibleNames::Clear() noexcept {
    if (!m_service) {
        return;
    }
    if (m_msaaNamed) {
        TakeBack(PROPID_ACC_NAME, Count());
    }
    if (m_uiaNamed) {
        TakeBack(kUiaNameProperty, Count());
    }
    m_msaaNamed = m_uiaNamed = false;
    m_service.reset();
}

} // namespace dialog
