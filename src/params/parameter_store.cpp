#include "params/parameter_store.h"

#include "params/registry_key.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace params {

namespace {

// Where the driver keeps its settings, below HKEY_LOCAL_MACHINE.
constexpr const char* ServiceKeyPath = R"(SYSTEM\CurrentControlSet\Services\BORVEX)";
constexpr const char* ParametersKeyPath = R"(SYSTEM\CurrentControlSet\Services\BORVEX\Parameters)";

constexpr const char* MaxAdapterName = "MaxAdapter"; // in the service key

// The values of the parameters key, named for the ANSI calls the settings are read and written
// with, and for the wide calls that read what a value held and put it back: the ANSI calls pass
// string data through the code page, so what they read back would not be the value's bytes.
struct ValueName {
    const char* ansi;
    const wchar_t* wide;
};
constexpr ValueName StartNumName{"StartNum0", L"StartNum0"};
constexpr ValueName ExtMode0Name{"ExtMode0", L"ExtMode0"};
constexpr ValueName ExtMode1Name{"ExtMode1", L"ExtMode1"};

// Every value is four bytes: a little-endian 32-bit number.
static_assert(sizeof(std::int32_t) == 4);

// The rights each operation opens its keys with, and no more: elevated, a key opened with
// whatever the caller may have would carry the rights to change its security and delete it too.
// Storing reads what it may have to put back; KEY_SET_VALUE covers removing a value.
constexpr REGSAM LoadAccess = KEY_QUERY_VALUE;
constexpr REGSAM StoreAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

// The key below HKEY_LOCAL_MACHINE, or an empty key when it cannot be opened with `access`.
RegistryKey OpenKey(const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key) != ERROR_SUCCESS) {
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

// A value to write, with what it held before, so that a store that fails half-way can put it
// back.
struct ValueChange {
    ValueName name;
    std::int32_t value;
    bool existed = false;
    DWORD formerType = REG_NONE;
    std::vector<BYTE> formerData{};
};

// Learns what the value holds now, whatever its type and size. False when that cannot be
// known, which a value that does not exist is not.
bool ReadFormerValue(const RegistryKey& key, ValueChange& change) {
    DWORD size = 0;
    LONG status =
        RegQueryValueExW(key.Get(), change.name.wide, nullptr, &change.formerType, nullptr, &size);
    // The value may grow between the two calls; then its new size is asked for again. The
    // buffer is never empty, so the second call reads rather than only measuring.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        change.formerData.resize(std::max<DWORD>(size, 1));
        status = RegQueryValueExW(key.Get(), change.name.wide, nullptr, &change.formerType,
                                  change.formerData.data(), &size);
        if (status == ERROR_SUCCESS) {
            change.formerData.resize(size);
            change.existed = true;
            return true;
        }
    }
    return status == ERROR_FILE_NOT_FOUND;
}

// Gives the value back its former type and bytes, or removes it when it did not exist.
bool PutBack(const RegistryKey& key, const ValueChange& change) {
    if (!change.existed) {
        return RegDeleteValueW(key.Get(), change.name.wide) == ERROR_SUCCESS;
    }
    const BYTE none = 0; // an empty value still needs a buffer on some versions
    return RegSetValueExW(key.Get(), change.name.wide, 0, change.formerType,
                          change.formerData.empty() ? &none : change.formerData.data(),
                          static_cast<DWORD>(change.formerData.size())) == ERROR_SUCCESS;
}

} // namespace

void LoadDriverParameters(DriverParameters& parameters,
                          const std::function<void(Unreadable)>& report) {
    const RegistryKey serviceKey = OpenKey(ServiceKeyPath, LoadAccess);
    if (!serviceKey.IsOpen()) {
        report(Unreadable::ServiceKey);
    }
    const RegistryKey parametersKey = OpenKey(ParametersKeyPath, LoadAccess);
    if (!parametersKey.IsOpen()) {
        report(Unreadable::ParametersKey);
    }

    // The start number and max adapter are read into values of their own that start at 0, so
    // an unreadable value reads as 0 and a short one has no stray high-order bytes.
    std::int32_t startNumber = 0;
    if (!ReadValue(parametersKey, StartNumName.ansi, startNumber)) {
        report(Unreadable::Value);
    }
    if (!ReadValue(parametersKey, ExtMode0Name.ansi, parameters.nExtMode0)) {
        report(Unreadable::Value);
    }
    if (!ReadValue(parametersKey, ExtMode1Name.ansi, parameters.nExtMode1)) {
        report(Unreadable::Value);
    }
    std::int32_t maxAdapter = 0;
    ReadValue(serviceKey, MaxAdapterName, maxAdapter); // missing: no adapters, and no notice

    parameters.nStartNum = startNumber;
    parameters.nMaxAdapter = maxAdapter;
}

StoreResult StoreDriverParameters(const DriverParameters& parameters) {
    const RegistryKey parametersKey = OpenKey(ParametersKeyPath, StoreAccess);
    if (!parametersKey.IsOpen()) {
        return StoreResult::Unchanged;
    }
    ValueChange changes[] = {
        {.name = StartNumName, .value = parameters.nStartNum},
        {.name = ExtMode0Name, .value = parameters.nExtMode0},
        {.name = ExtMode1Name, .value = parameters.nExtMode1},
    };
    // The driver must never start on a mix of old and new settings, so a failed write undoes
    // those before it. An undo that cannot be made is no undo: learn first what to put back.
    for (ValueChange& change : changes) {
        if (!ReadFormerValue(parametersKey, change)) {
            return StoreResult::Unchanged;
        }
    }
    for (std::size_t index = 0; index < std::size(changes); ++index) {
        if (!WriteValue(parametersKey, changes[index].name.ansi, changes[index].value)) {
            bool allPutBack = true;
            for (const ValueChange& written : std::span(changes).first(index)) {
                allPutBack = PutBack(parametersKey, written) && allPutBack;
            }
            return allPutBack ? StoreResult::Unchanged : StoreResult::PartlyStored;
        }
    }
    return StoreResult::Stored;
}

} // namespace params
