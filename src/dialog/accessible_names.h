#pragma once

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
    // The calling thread's membership of a single-threaded apartment, as long as this exists.
    class Apartment {
    public:
        Apartment() noexcept;
        ~Apartment();
        Apartment(const Apartment&) = delete;
        Apartment& operator=(const Apartment&) = delete;

        bool Entered() const noexcept { return SUCCEEDED(m_result); }

    private:
        HRESULT m_result;
    };

    struct Release {
        void operator()(IUnknown* object) const noexcept { object->Release(); }
    };

    void Clear() noexcept;

    Apartment m_apartment; // first in, last out: the service is released inside it
    std::unique_ptr<IAccPropServices, Release> m_service;
    HWND m_dialog;
    std::span<const ControlName> m_names;
    std::size_t m_named = 0; // the first controls of m_names that carry their names
};

} // namespace dialog
