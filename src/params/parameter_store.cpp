#include "params/parameter_store.h"

#include "params/registry_key.h"

#include <windows.h>

#include <cstdint>

namespace params {

namespace {

// Where the driver keeps its settings, below HKEY_LOCAL_MACHINE.
constexpr const char* ServiceKeyPath = R"(SYSTEM\CurrentControlSet\Services\BORVEX)";
constexpr const char* ParametersKeyPath = R"(SYSTEM\CurrentControlSet\Services\BORVEX\Parameters)";

constexpr const char* MaxAdapterName = "MaxAdapter"; // in the service key
constexpr const char* StartNumName = "StartNum0";    // the rest in the parameters key
constexpr const char* ExtMode0Name = "ExtMode0";
constexpr const char* ExtMode1Name = "ExtMode1";

// Every value is four bytes: a little-endian 32-bit number.
static_assert(sizeof(std::int32_t) == 4);

// The key below HKEY_LOCAL_MACHINE, or an empty key when it cannot be opened.
RegistryKey OpenKey(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) {
        return RegistryKey{};
    }
    return RegistryKey{key};
}

// Reads a value over `destination`, offering four bytes whatever type the value has. Windows
// leaves the buffer undefined after a failed read (ERROR_MORE_DATA), so the read goes into a
// copy that is taken only on success; a shorter value thereby fills the low-order bytes and
// leaves the others as they were. False when the key is not open or the read failed.
bool ReadValue(const RegistryKey& key, const char* name, std::int32_t& destination) {
    if (!key.IsOpen()) {
        return false;
    }
    std::int32_t scratch = destination;
    DWORD size = sizeof scratch;
    if (RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&scratch),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    destination = scratch;
    return true;
}

bool WriteValue(const RegistryKey& key, const char* name, std::int32_t value) {
    return RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

} // namespace

void LoadDriverParameters(DriverParameters& parameters,
                          const std::function<void(Unreadable)>& report) {
    const RegistryKey serviceKey = OpenKey(ServiceKeyPath);
    if (!serviceKey.IsOpen()) {
        report(Unreadable::ServiceKey);
    }
    const RegistryKey parametersKey = OpenKey(ParametersKeyPath);
    if (!parametersKey.IsOpen()) {
        report(Unreadable::ParametersKey);
    }

    // The start number and max adapter are read into values of their own that start at 0, so
    // an unreadable value reads as 0 and a short one has no stray high-order bytes.
    std::int32_t startNumber = 0;
    if (!ReadValue(parametersKey, StartNumName, startNumber)) {
        report(Unreadable::Value);
    }
    if (!ReadValue(parametersKey, ExtMode0Name, parameters.nExtMode0)) {
        report(Unreadable::Value);
    }
    if (!ReadValue(parametersKey, ExtMode1Name, parameters.nExtMode1)) {
        report(Unreadable::Value);
    }
    std::int32_t maxAdapter = 0;
    ReadValue(serviceKey, MaxAdapterName, maxAdapter); // missing: no adapters, and no notice

    parameters.nStartNum = startNumber;
    parameters.nMaxAdapter = maxAdapter;
}

bool StoreDriverParameters(const DriverParameters& parameters) {
    const RegistryKey parametersKey = OpenKey(ParametersKeyPath);
    if (!parametersKey.IsOpen()) {
        return false;
    }
    // A failed write does not stop the others: each value stands on its own for the driver.
    const bool startNumberWritten = WriteValue(parametersKey, StartNumName, parameters.nStartNum);
    const bool extMode0Written = WriteValue(parametersKey, ExtMode0Name, parameters.nExtMode0);
    const bool extMode1Written = WriteValue(parametersKey, ExtMode1Name, parameters.nExtMode1);
    return startNumberWritten && extMode0Written && extMode1Written;
}

} // namespace params
