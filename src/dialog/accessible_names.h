#pragma once

#include "framework/system_library.h"

#include <windows.h>

#include <oleacc.h>

#include <cstddef>
#include <memory>
#include <span>

namespace dialog {

// A control of a dialog, and the name that screen readers are to announce for it.
struct ControlName {
    int id;
    const wchar_t* name;
};

// Names a dialog and its controls for assistive technology, by annotating them through the
// system's accessibility property service, and takes the names back when destroyed, which must
// happen before the windows are. Each gets two names: the MSAA name, which every screen reader
// asks for, and the UI Automation name, which Narrator reads. Each kind is given to all or to
// none: without COM, without the service or after a failed call nothing of that kind is kept, and
// the dialog works as it would unnamed, without a word to the user. A client that read the names
// before is told that they changed.
class AccessibleNames {
public:
    // `dialogName` and `controls` must outlive this object.
    AccessibleNames(HWND dialog, const wchar_t* dialogName,
                    std::span<const ControlName> controls) noexcept;
    ~AccessibleNames() { Clear(); }
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Whether the windows carry names of either kind now.
    bool Given() const noexcept { return m_service != nullptr; }

private:
    // COM for the calling thread while this exists: ole32 loaded, and the thread in a
    // single-threaded apartment.
    class Com {
    public:
        Com() noexcept;
        ~Com();
        Com(const Com&) = delete;
        Com& operator=(const Com&) = delete;

        // The accessibility property service, or null.
        IAccPropServices* CreatePropServices() const noexcept;

    private:
        framework::LoadedLibrary m_ole32;
        decltype(&::CoUninitialize) m_uninitialize = nullptr;
        decltype(&::CoCreateInstance) m_createInstance = nullptr;
        bool m_entered = false;
    };

    struct Release {
        void operator()(IUnknown* object) const noexcept { object->Release(); }
    };

    // What is named: the dialog first, then its controls.
    std::size_t Count() const noexcept { return 1 + m_controls.size(); }
    HWND Window(std::size_t index) const noexcept;
    const wchar_t* Name(std::size_t index) const noexcept;

    // Gives every window its name as `property`; false, with none left, when one is refused.
    bool Give(const MSAAPROPID& property) noexcept;
    // Takes `property` back from the first `count` windows.
    void TakeBack(const MSAAPROPID& property, std::size_t count) noexcept;
    void Clear() noexcept;

    Com m_com; // first in, last out: the service is released inside the apartment
    std::unique_ptr<IAccPropServices, Release> m_service;
    HWND m_dialog;
    const wchar_t* m_dialogName;
    std::span<const ControlName> m_controls;
    bool m_msaaNamed = false;
    bool m_uiaNamed = false;
};

} // namespace dialog
