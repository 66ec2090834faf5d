#pragma once

#include <string>

namespace testsupport {

// Gives this process an empty HKEY_LOCAL_MACHINE of its own: a scratch key below
// HKEY_CURRENT_USER (Software\BorvexTests\<pid>-<n>) stands in for it until
// the sandbox is destroyed, and is then deleted with everything below it. Scratch keys of
// processes that died before cleaning up are deleted when a sandbox is made. Throws when the
// scratch key cannot be put in place, so no test ever runs against the real root.
//
// The override reaches this process only; the helpers of harness/registry.h work inside
// it as they would on the real root.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Below HKEY_CURRENT_USER.
    const std::string& ScratchPath() const { return m_scratchPath; }

private:
    std::string m_scratchPath;
};

} // namespace testsupport
