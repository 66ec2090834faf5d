#include "dialog/notices.h"
#include "params/parameter_store.h"

#include "harness/registry.h"
#include "support/import_patch.h"
#include "support/message_box_watcher.h"
#include "support/registry_sandbox.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iomanip>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace params {

void PrintTo(const DriverParameters& parameters, std::ostream* out) {
    *out << std::hex << "{max adapter 0x" << parameters.nMaxAdapter << ", start number 0x"
         << parameters.nStartNum << ", ext mode 0x" << parameters.nExtMode0 << "/0x"
         << parameters.nExtMode1 << '}' << std::dec;
}

void PrintTo(StoreResult result, std::ostream* out) {
    constexpr const char* Names[] = {"Stored", "Unchanged", "PartlyStored"};
    *out << Names[static_cast<std::size_t>(result)];
}

} // namespace params

namespace {

using params::DriverParameters;
using params::StoreResult;
using testsupport::CreateKey;
using testsupport::DeleteKey;
using testsupport::KeyExists;
using testsupport::NoticeCaption;
using testsupport::ObservedBox;
using testsupport::ParametersKeyNotice;
using testsupport::ParametersKeyPath;
using testsupport::ReadValue;
using testsupport::RegistrySandbox;
using testsupport::RegistryValue;
using testsupport::ServiceKeyNotice;
using testsupport::ServiceKeyPath;
using testsupport::SetDword;
using testsupport::SetValue;
using testsupport::ValueNotice;

// What the record holds before a call, so that any field the call writes shows.
constexpr std::int32_t Poison = 0x5A5A5A5A;
constexpr DriverParameters Poisoned{Poison, Poison, Poison, Poison};

// A complete installation: two adapters, COM5 first, extended mode on adapter 1 only.
constexpr DriverParameters Installed{
    .nMaxAdapter = 2, .nStartNum = 5, .nExtMode0 = 1, .nExtMode1 = 0};

// Which parts of the driver's keys exist.
struct Installation {
    bool serviceKey = true;
    bool parametersKey = true;
    bool maxAdapter = true;
    bool startNum = true;
    bool extMode0 = true;
    bool extMode1 = true;
};

void Install(const Installation& installation) {
    if (installation.serviceKey) {
        CreateKey(ServiceKeyPath);
        if (installation.maxAdapter) {
            SetDword(ServiceKeyPath, "MaxAdapter",
                     static_cast<std::uint32_t>(Installed.nMaxAdapter));
        }
    }
    if (installation.parametersKey) {
        CreateKey(ParametersKeyPath);
        const auto install = [&](bool wanted, std::string_view name, std::int32_t value) {
            if (wanted) {
                SetDword(ParametersKeyPath, name, static_cast<std::uint32_t>(value));
            }
        };
        install(installation.startNum, "StartNum0", Installed.nStartNum);
        install(installation.extMode0, "ExtMode0", Installed.nExtMode0);
        install(installation.extMode1, "ExtMode1", Installed.nExtMode1);
    }
}

RegistryValue Dword(std::int32_t number) {
    return testsupport::Dword(static_cast<std::uint32_t>(number));
}

// Everything in the driver's two keys, to show that a call changed nothing it should not.
struct Snapshot {
    bool serviceKey = false;
    bool parametersKey = false;
    std::map<std::string, RegistryValue> values; // "<key path>\<value name>"

    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

void PrintTo(const Snapshot& snapshot, std::ostream* out) {
    *out << "service key " << (snapshot.serviceKey ? "present" : "missing") << ", parameters key "
         << (snapshot.parametersKey ? "present" : "missing");
    for (const auto& [name, value] : snapshot.values) {
        *out << "\n  " << name << " = " << testing::PrintToString(value);
    }
}

Snapshot TakeSnapshot() {
    Snapshot snapshot{KeyExists(ServiceKeyPath), KeyExists(ParametersKeyPath), {}};
    for (const std::string_view path : {ServiceKeyPath, ParametersKeyPath}) {
        for (const std::string& name : testsupport::ValueNames(path)) {
            snapshot.values[std::string(path) + '\\' + name] =
                ReadValue(path, name).value_or(RegistryValue{});
        }
    }
    return snapshot;
}

// A top-level window that is never shown: it only owns the notices.
class HiddenOwner {
public:
    HiddenOwner()
        : m_hWnd(CreateWindowExA(0, "Static", "notice owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr)) {}
    ~HiddenOwner() { DestroyWindow(m_hWnd); }
    HiddenOwner(const HiddenOwner&) = delete;
    HiddenOwner& operator=(const HiddenOwner&) = delete;

    HWND Get() const { return m_hWnd; }

private:
    HWND m_hWnd;
};

class ParameterStore : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(KeyExists("SYSTEM")) << "scratch key " << registry.ScratchPath();
        ASSERT_NE(owner.Get(), nullptr) << "CreateWindowExA failed with error " << GetLastError();
    }

    // Loads into `parameters`, pressing OK on every notice, and returns the notices.
    std::vector<ObservedBox> Load(DriverParameters& parameters,
                                  testsupport::MessageBoxWatcher::WhileOpen whileOpen = {}) {
        testsupport::MessageBoxWatcher watcher(std::move(whileOpen));
        params::LoadDriverParameters(parameters, [&](params::Unreadable what) {
            dialog::ShowNotice(owner.Get(), dialog::NoticeFor(what));
        });
        return watcher.Boxes();
    }

    // Every notice is the utility's own: modal to the given owner, captioned, OK only, no icon.
    void ExpectNotices(const std::vector<ObservedBox>& boxes,
                       const std::vector<std::string_view>& texts) {
        std::vector<std::string_view> shown;
        for (const ObservedBox& box : boxes) {
            shown.push_back(box.text);
            SCOPED_TRACE("notice \"" + box.text + '"');
            EXPECT_EQ(box.caption, NoticeCaption);
            EXPECT_EQ(box.owner, owner.Get());
            EXPECT_FALSE(box.ownerEnabled) << "the notice is not modal to its owner";
            EXPECT_FALSE(box.hasIcon);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        }
        EXPECT_EQ(shown, texts);
    }

    RegistrySandbox registry;
    HiddenOwner owner;
};

TEST_F(ParameterStore, LoadShowsANoticeForEachKeyAndValueItCannotRead) {
    struct Row {
        const char* name;
        Installation installation;
        std::vector<std::string_view> notices;
        DriverParameters loaded; // from the poisoned record
    };
    const Row rows[] = {
        {"complete", {}, {}, Installed},
        // Nothing below the services: five notices, and the fields that cannot be read keep
        // what they held, but the start number and max adapter read as 0.
        {"no keys",
         {.serviceKey = false, .parametersKey = false},
         {ServiceKeyNotice, ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         {0, 0, Poison, Poison}},
        {"no parameters key",
         {.parametersKey = false},
         {ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         {Installed.nMaxAdapter, 0, Poison, Poison}},
        {"empty service key",
         {.parametersKey = false, .maxAdapter = false},
         {ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         {0, 0, Poison, Poison}},
        {"empty parameters key",
         {.startNum = false, .extMode0 = false, .extMode1 = false},
         {ValueNotice, ValueNotice, ValueNotice},
         {Installed.nMaxAdapter, 0, Poison, Poison}},
        {"no StartNum0",
         {.startNum = false},
         {ValueNotice},
         {Installed.nMaxAdapter, 0, Installed.nExtMode0, Installed.nExtMode1}},
        {"no ExtMode0",
         {.extMode0 = false},
         {ValueNotice},
         {Installed.nMaxAdapter, Installed.nStartNum, Poison, Installed.nExtMode1}},
        {"no ExtMode1",
         {.extMode1 = false},
         {ValueNotice},
         {Installed.nMaxAdapter, Installed.nStartNum, Installed.nExtMode0, Poison}},
        // The driver has found no adapter yet: no notice, 0 adapters.
        {"no MaxAdapter",
         {.maxAdapter = false},
         {},
         {0, Installed.nStartNum, Installed.nExtMode0, Installed.nExtMode1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteKey("SYSTEM");
        Install(row.installation);
        const Snapshot before = TakeSnapshot();

        DriverParameters parameters = Poisoned;
        ExpectNotices(Load(parameters), row.notices);
        EXPECT_EQ(parameters, row.loaded);
        EXPECT_EQ(TakeSnapshot(), before) << "loading changed the registry";
    }
}

// Each notice is closed before the next step runs: keys that appear while the service-key
// notice is open are found by the steps after it, but the service key, already tried, is not
// opened again.
TEST_F(ParameterStore, LoadGoesOnOnlyAfterEachNoticeIsClosed) {
    DriverParameters parameters = Poisoned;
    const std::vector<ObservedBox> boxes = Load(parameters, [&](const ObservedBox& box) {
        if (box.text == ServiceKeyNotice) {
            Install({});
        }
    });
    ExpectNotices(boxes, {ServiceKeyNotice});
    EXPECT_EQ(parameters,
              (DriverParameters{0, Installed.nStartNum, Installed.nExtMode0, Installed.nExtMode1}));
}

// Reads offer four bytes and take whatever comes back, of any type: longer data is a failed
// read, shorter data fills the low-order bytes over what the destination held (0 for the start
// number and max adapter, which are read into zeroed scratch values).
TEST_F(ParameterStore, LoadTakesTheBytesOfValuesOfAnySizeAndType) {
    static constexpr std::uint8_t Pattern[] = {0x11, 0x22, 0x33, 0xC4, 0x55, 0x66, 0x77, 0x88};
    static constexpr std::uint8_t Seven[] = {'7', '\0'};
    struct Shape {
        const char* name;
        DWORD type;
        std::span<const std::uint8_t> data;
        bool readable;
        std::int32_t overPoison; // ExtMode0 and ExtMode1
        std::int32_t overZero;   // StartNum0 and MaxAdapter
    };
    constexpr auto Bytes = [](std::size_t count) { return std::span(Pattern).first(count); };
    constexpr auto Signed = [](std::uint32_t bits) { return static_cast<std::int32_t>(bits); };
    const Shape shapes[] = {
        {"REG_DWORD[4]", REG_DWORD, Bytes(4), true, Signed(0xC4332211), Signed(0xC4332211)},
        // A short value is a successful read, without notice.
        {"REG_DWORD[0]", REG_DWORD, Bytes(0), true, Poison, 0},
        {"REG_DWORD[1]", REG_DWORD, Bytes(1), true, 0x5A5A5A11, 0x11},
        {"REG_DWORD[2]", REG_DWORD, Bytes(2), true, 0x5A5A2211, 0x2211},
        {"REG_DWORD[8]", REG_DWORD, Bytes(8), false, Poison, 0},
        // The type is not looked at.
        {"REG_BINARY[3]", REG_BINARY, Bytes(3), true, 0x5A332211, 0x332211},
        {"REG_BINARY[5]", REG_BINARY, Bytes(5), false, Poison, 0},
        {"REG_DWORD_BIG_ENDIAN[4]", REG_DWORD_BIG_ENDIAN, Bytes(4), true, Signed(0xC4332211),
         Signed(0xC4332211)},
        {"REG_QWORD[8]", REG_QWORD, Bytes(8), false, Poison, 0},
        {"REG_NONE[4]", REG_NONE, Bytes(4), true, Signed(0xC4332211), Signed(0xC4332211)},
        {"REG_SZ \"7\"", REG_SZ, Seven, true, 0x5A5A0037, 0x37},
    };
    struct Target {
        std::string_view path;
        std::string_view name;
        std::int32_t DriverParameters::*field;
        bool keepsPrevious;
        bool noticed;
    };
    const Target targets[] = {
        {ParametersKeyPath, "StartNum0", &DriverParameters::nStartNum, false, true},
        {ParametersKeyPath, "ExtMode0", &DriverParameters::nExtMode0, true, true},
        {ParametersKeyPath, "ExtMode1", &DriverParameters::nExtMode1, true, true},
        {ServiceKeyPath, "MaxAdapter", &DriverParameters::nMaxAdapter, false, false},
    };
    Install({});
    for (const Target& target : targets) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(std::string(target.name) + " as " + shape.name);
            SetValue(target.path, target.name, shape.type, shape.data);

            DriverParameters parameters = Poisoned;
            const std::vector<ObservedBox> boxes = Load(parameters);
            ExpectNotices(boxes, !shape.readable && target.noticed
                                     ? std::vector<std::string_view>{ValueNotice}
                                     : std::vector<std::string_view>{});
            DriverParameters expected = Installed;
            expected.*target.field = target.keepsPrevious ? shape.overPoison : shape.overZero;
            EXPECT_EQ(parameters, expected);
        }
        SetDword(target.path, target.name, static_cast<std::uint32_t>(Installed.*target.field));
    }
}

// Storing writes the three changeable values as REG_DWORD of four bytes, creating those that
// are missing and replacing any other type or size, and leaves MaxAdapter alone.
TEST_F(ParameterStore, StoreWritesTheThreeValuesAsDwords) {
    struct Row {
        const char* name;
        void (*prepare)();
        DriverParameters record;
    };
    const Row rows[] = {
        {"over the installed values",
         [] { Install({}); },
         {.nMaxAdapter = 7, .nStartNum = 12, .nExtMode0 = 0, .nExtMode1 = 1}},
        {"into an empty parameters key without MaxAdapter",
         [] {
             Install(
                 {.maxAdapter = false, .startNum = false, .extMode0 = false, .extMode1 = false});
         },
         {.nMaxAdapter = 3, .nStartNum = 1, .nExtMode0 = 1, .nExtMode1 = 0}},
        // Numbers are stored as their 32-bit two's complement, whatever the dialog allowed.
        {"over values of other types and sizes",
         [] {
             static constexpr std::uint8_t Long[] = {1, 2, 3, 4, 5, 6, 7, 8};
             static constexpr std::uint8_t Seven[] = {'7', '\0'};
             static constexpr std::uint8_t One[] = {1};
             Install({});
             SetValue(ParametersKeyPath, "StartNum0", REG_SZ, Seven);
             SetValue(ParametersKeyPath, "ExtMode0", REG_BINARY, Long);
             SetValue(ParametersKeyPath, "ExtMode1", REG_DWORD, One);
         },
         {.nMaxAdapter = -1, .nStartNum = -2, .nExtMode0 = INT32_MIN, .nExtMode1 = INT32_MAX}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteKey("SYSTEM");
        row.prepare();
        Snapshot expected = TakeSnapshot();
        const std::string parameters = std::string(ParametersKeyPath) + '\\';
        expected.values[parameters + "StartNum0"] = Dword(row.record.nStartNum);
        expected.values[parameters + "ExtMode0"] = Dword(row.record.nExtMode0);
        expected.values[parameters + "ExtMode1"] = Dword(row.record.nExtMode1);

        testsupport::MessageBoxWatcher watcher;
        EXPECT_EQ(params::StoreDriverParameters(row.record), StoreResult::Stored);
        EXPECT_EQ(TakeSnapshot(), expected);
        ExpectNotices(watcher.Boxes(), {});
    }
}

// A store that writes nothing says so, so that the dialog does not ask for a restart; it
// creates no key and changes no value on the way.
TEST_F(ParameterStore, StoreReportsFailureWhenItCannotWrite) {
    struct Row {
        const char* name;
        Installation installation;
        bool readOnly; // as the parameters key is for a user without administrator rights
    };
    const Row rows[] = {
        {"no keys", {.serviceKey = false, .parametersKey = false}, false},
        {"no parameters key", {.parametersKey = false}, false},
        {"read-only parameters key", {}, true},
        {"read-only empty parameters key",
         {.startNum = false, .extMode0 = false, .extMode1 = false},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteKey("SYSTEM");
        Install(row.installation);
        std::optional<testsupport::ReadOnlyKey> readOnly;
        if (row.readOnly) {
            readOnly.emplace(ParametersKeyPath);
        }
        const Snapshot before = TakeSnapshot();

        testsupport::MessageBoxWatcher watcher;
        EXPECT_EQ(params::StoreDriverParameters(
                      {.nMaxAdapter = 9, .nStartNum = 12, .nExtMode0 = 1, .nExtMode1 = 1}),
                  StoreResult::Unchanged);
        EXPECT_EQ(TakeSnapshot(), before);
        ExpectNotices(watcher.Boxes(), {});
    }
}

// The driver must never start on half the new settings: when a write fails, those before it get
// back what they held, and a value that cannot be put back is owned up to rather than hidden.
TEST_F(ParameterStore, StoreUndoesItsWritesWhenOneFails) {
    using testsupport::Call;
    struct Row {
        const char* why;
        testsupport::RegistryFaults::Plan faults;
        StoreResult result;
        std::vector<std::pair<std::string, std::int32_t>> leftNew; // all else as before
    };
    const Row rows[] = {
        {"first write fails", {.sets = Call(1)}, StoreResult::Unchanged, {}},
        {"second write fails", {.sets = Call(2)}, StoreResult::Unchanged, {}},
        {"third write fails", {.sets = Call(3)}, StoreResult::Unchanged, {}},
        // An undo that could not be made is no undo: nothing is written.
        {"what the values hold cannot be read",
         {.queries = testsupport::EveryCall},
         StoreResult::Unchanged,
         {}},
        // The other put-backs are still made.
        {"third write fails, StartNum0 cannot be put back",
         {.sets = Call(3) | Call(4)},
         StoreResult::PartlyStored,
         {{"StartNum0", 12}}},
        {"third write fails, ExtMode0 cannot be removed",
         {.sets = Call(3), .deletes = Call(1)},
         StoreResult::PartlyStored,
         {{"ExtMode0", 1}}},
    };
    static constexpr std::uint8_t Five[] = {1, 2, 3, 4, 5};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        DeleteKey("SYSTEM");
        // A StartNum0 of another type and size must come back byte for byte, and ExtMode0,
        // missing, must be missing again.
        Install({.extMode0 = false});
        SetValue(ParametersKeyPath, "StartNum0", REG_BINARY, Five);
        Snapshot expected = TakeSnapshot();
        for (const auto& [name, number] : row.leftNew) {
            expected.values[std::string(ParametersKeyPath) + '\\' + name] = Dword(number);
        }

        const StoreResult result = [&] {
            testsupport::RegistryFaults faults(row.faults);
            return params::StoreDriverParameters(
                {.nMaxAdapter = 9, .nStartNum = 12, .nExtMode0 = 1, .nExtMode1 = 1});
        }();
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(TakeSnapshot(), expected);
    }
}

} // namespace
