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

// Names a dialog's controls for assistive technology, by annotating them through the system's
// accessibility property service, and takes the names back when destroyed, which must happen
// before the controls are. The names are all given or none: without COM, without the service or
// after any failed call nothing is kept, the dialog works as it would unnamed, and nobody is told.
class AccessibleNames {
public:
    // `names` must outlive this object.
    AccessibleNames(HWND dialog, std::span<const ControlName> names) noexcept;
    ~AccessibleNames() { Clear(); }
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Whether the controls carry the names now.
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

    void Clear() noexcept;

    Com m_com; // first in, last out: the service is released inside the apartment
    std::unique_ptr<IAccPropServices, Release> m_service;
    HWND m_dialog;
    std::span<const ControlName> m_names;
    std::size_t m_named = 0; // the first controls of m_names that carry their names
};

} // namespace dialog
