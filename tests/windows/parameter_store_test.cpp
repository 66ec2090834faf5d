#include "dialog/notices.h"
#include "params/parameter_store.h"

#include "harness/registry.h"
#include "support/driver_record.h"
#include "support/import_patch.h"
#include "support/message_box_watcher.h"
#include "support/registry_sandbox.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace params {

void PrintTo(StoreResult result, std::ostream* out) {
    constexpr const char* Names[] = {"Stored", "Unchanged", "PartlyStored"};
    *out << Names[static_cast<std::size_t>(result)];
}

} // namespace params

namespace {

using namespace testsupport;
using params::DriverParameters;
using params::StoreResult;

// What the record holds before a call, so that any field the call writes shows.
constexpr std::int32_t Poison = 0x5A5A5A5A;
constexpr DriverParameters Poisoned{Poison, Poison, Poison, Poison};

// What a complete installation, DriverKeys{}, holds: two adapters, COM3 first, extended mode
// on adapter 2 only.
constexpr DriverParameters Installed{2, 3, 0, 1};
// A record that differs from it in every field, so that any write of it shows.
constexpr DriverParameters Changed{9, 12, 1, 0};
constexpr std::nullopt_t None = std::nullopt;
// The parameters key without values.
const DriverKeys Empty{.startNum = None, .extMode0 = None, .extMode1 = None};

using Texts = std::vector<std::string_view>;

class ParameterStore : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(KeyExists("SYSTEM")) << "scratch key " << registry.ScratchPath();
        ASSERT_NE(owner, nullptr) << "CreateWindowExA failed with error " << GetLastError();
    }
    ~ParameterStore() override { DestroyWindow(owner); }

    // Loads into `parameters`, pressing OK on every notice, and returns the notices.
    std::vector<MessageBoxContents> Load(DriverParameters& parameters,
                                         MessageBoxWatcher::WhileOpen whileOpen = {}) {
        MessageBoxWatcher watcher(std::move(whileOpen));
        params::LoadDriverParameters(parameters, [&](params::Unreadable what) {
            dialog::ShowNotice(owner, dialog::NoticeFor(what));
        });
        return watcher.Boxes();
    }

    // The utility's own notices: modal to the hidden owner, captioned, OK only, no icon.
    std::vector<MessageBoxContents> Notices(const Texts& texts) const {
        return OkBoxes(texts, NoticeCaption, false, owner);
    }

    RegistrySandbox registry;
    // A top-level window that is never shown: it only owns the notices.
    HWND owner = CreateWindowExA(0, "Static", "notice owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
};

TEST_F(ParameterStore, LoadShowsANoticeForEachKeyAndValueItCannotRead) {
    struct Row {
        const char* name;
        DriverKeys keys;
        Texts notices;
        DriverParameters loaded; // from the poisoned record
        RegistryFaults::Plan faults{};
    };
    const Row rows[] = {
        {"complete", {}, {}, Installed},
        // Nothing below the services: five notices, and the fields that cannot be read keep
        // what they held, but the start number and max adapter read as 0.
        {"no keys", DriverKeys{.serviceKey = false},
         Texts{ServiceKeyNotice, ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         DriverParameters{0, 0, Poison, Poison}},
        {"no parameters key", DriverKeys{.parametersKey = false},
         Texts{ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         DriverParameters{2, 0, Poison, Poison}},
        {"empty service key", DriverKeys{.parametersKey = false, .maxAdapter = None},
         Texts{ParametersKeyNotice, ValueNotice, ValueNotice, ValueNotice},
         DriverParameters{0, 0, Poison, Poison}},
        {"empty parameters key", Empty, Texts{ValueNotice, ValueNotice, ValueNotice},
         DriverParameters{2, 0, Poison, Poison}},
        {"no StartNum0", DriverKeys{.startNum = None}, Texts{ValueNotice},
         DriverParameters{2, 0, 0, 1}},
        {"no ExtMode0", DriverKeys{.extMode0 = None}, Texts{ValueNotice},
         DriverParameters{2, 3, Poison, 1}},
        {"no ExtMode1", DriverKeys{.extMode1 = None}, Texts{ValueNotice},
         DriverParameters{2, 3, 0, Poison}},
        // The driver has found no adapter yet: no notice, 0 adapters.
        {"no MaxAdapter", DriverKeys{.maxAdapter = None}, {}, DriverParameters{0, 3, 0, 1}},
        // Windows may spoil the buffer of a read that fails: none of it may reach a field.
        {"every read fails after writing over its buffer",
         {},
         Texts{ValueNotice, ValueNotice, ValueNotice},
         DriverParameters{0, 0, Poison, Poison},
         {.spoilingQueries = EveryCall}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Install(row.keys);
        DriverParameters parameters = Poisoned;
        const auto notices = [&] {
            RegistryFaults faults(row.faults);
            return Load(parameters);
        }();
        EXPECT_EQ(notices, Notices(row.notices));
        EXPECT_EQ(parameters, row.loaded);
        EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(row.keys)) << "loading changed the registry";
    }
}

// Each notice is closed before the next step runs: keys that appear while the service-key
// notice is open are found by the steps after it, but the service key, already tried, is not
// opened again.
TEST_F(ParameterStore, LoadGoesOnOnlyAfterEachNoticeIsClosed) {
    DriverParameters parameters = Poisoned;
    EXPECT_EQ(Load(parameters, [](const MessageBoxContents&) { Install({}); }),
              Notices({ServiceKeyNotice}));
    EXPECT_EQ(parameters, (DriverParameters{0, 3, 0, 1}));
}

// Reads offer four bytes and take whatever comes back, of any type: longer data is a failed
// read, shorter data fills the low-order bytes over what the destination held (0 for the start
// number and max adapter, which are read into zeroed scratch values).
TEST_F(ParameterStore, LoadTakesTheBytesOfValuesOfAnySizeAndType) {
    const auto bytes = [](DWORD type, std::size_t count) {
        const std::vector<std::uint8_t> pattern{0x11, 0x22, 0x33, 0xC4, 0x55, 0x66, 0x77, 0x88};
        return RegistryValue{type, {pattern.begin(), pattern.begin() + std::ptrdiff_t(count)}};
    };
    constexpr auto Signed = [](std::uint32_t bits) { return static_cast<std::int32_t>(bits); };
    struct Shape {
        RegistryValue value;
        bool readable;
        std::int32_t overPoison; // ExtMode0 and ExtMode1
        std::int32_t overZero;   // StartNum0 and MaxAdapter
    };
    const Shape shapes[] = {
        {bytes(REG_DWORD, 4), true, Signed(0xC4332211), Signed(0xC4332211)},
        // A short value is a successful read, without notice.
        {bytes(REG_DWORD, 0), true, Poison, 0},
        {bytes(REG_DWORD, 1), true, 0x5A5A5A11, 0x11},
        {bytes(REG_DWORD, 2), true, 0x5A5A2211, 0x2211},
        {bytes(REG_DWORD, 8), false, Poison, 0},
        // The type is not looked at.
        {bytes(REG_BINARY, 3), true, 0x5A332211, 0x332211},
        {bytes(REG_BINARY, 5), false, Poison, 0},
        {bytes(REG_DWORD_BIG_ENDIAN, 4), true, Signed(0xC4332211), Signed(0xC4332211)},
        {bytes(REG_QWORD, 8), false, Poison, 0},
        {bytes(REG_NONE, 4), true, Signed(0xC4332211), Signed(0xC4332211)},
        // As the registry keeps a string: UTF-16. The ANSI read takes it through the code page.
        {{REG_SZ, {'7', 0, 0, 0}}, true, 0x5A5A0037, 0x37},
    };
    struct Target {
        const char* name;
        std::optional<RegistryValue> DriverKeys::*value;
        std::int32_t DriverParameters::*field;
        bool keepsPrevious;
        bool noticed;
    };
    const Target targets[] = {
        {"StartNum0", &DriverKeys::startNum, &DriverParameters::nStartNum, false, true},
        {"ExtMode0", &DriverKeys::extMode0, &DriverParameters::nExtMode0, true, true},
        {"ExtMode1", &DriverKeys::extMode1, &DriverParameters::nExtMode1, true, true},
        {"MaxAdapter", &DriverKeys::maxAdapter, &DriverParameters::nMaxAdapter, false, false},
    };
    for (const Target& target : targets) {
        for (const Shape& shape : shapes) {
            DriverKeys keys;
            keys.*target.value = shape.value;
            SCOPED_TRACE(std::string(target.name) + " = " + testing::PrintToString(shape.value));
            Install(keys);

            DriverParameters parameters = Poisoned;
            EXPECT_EQ(Load(parameters),
                      Notices(!shape.readable && target.noticed ? Texts{ValueNotice} : Texts{}));
            DriverParameters expected = Installed;
            expected.*target.field = target.keepsPrevious ? shape.overPoison : shape.overZero;
            EXPECT_EQ(parameters, expected);
        }
    }
}

// Storing writes the three changeable values as REG_DWORD of four bytes, creating those that
// are missing and replacing any other type or size, and leaves MaxAdapter alone. A store that
// writes nothing says so, so that the dialog does not ask for a restart; it creates no key and
// changes no value on the way.
TEST_F(ParameterStore, StoreWritesTheThreeValuesAsDwordsOrNothing) {
    struct Row {
        const char* why;
        DriverKeys keys;
        DriverParameters record;
        StoreResult result;
        bool readOnly = false; // as the parameters key is for a user without administrator rights
    };
    const DriverKeys emptyWithoutMaxAdapter{
        .maxAdapter = None, .startNum = None, .extMode0 = None, .extMode1 = None};
    const DriverKeys odd{.startNum = RegistryValue{REG_SZ, {'7', 0, 0, 0}},
                         .extMode0 = RegistryValue{REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}},
                         .extMode1 = RegistryValue{REG_DWORD, {1}}};
    const Row rows[] = {
        {"over the installed values", {}, DriverParameters{7, 12, 1, 0}, StoreResult::Stored},
        {"into an empty parameters key without MaxAdapter", emptyWithoutMaxAdapter,
         DriverParameters{3, 1, 1, 0}, StoreResult::Stored},
        // Numbers are stored as their 32-bit two's complement, whatever the dialog allowed.
        {"over values of other types and sizes", odd,
         DriverParameters{-1, -2, INT32_MIN, INT32_MAX}, StoreResult::Stored},
        {"no keys", DriverKeys{.serviceKey = false}, Changed, StoreResult::Unchanged},
        {"no parameters key", DriverKeys{.parametersKey = false}, Changed, StoreResult::Unchanged},
        {"read-only parameters key", DriverKeys{}, Changed, StoreResult::Unchanged, true},
        {"read-only empty parameters key", Empty, Changed, StoreResult::Unchanged, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Install(row.keys);
        std::optional<ReadOnlyKey> readOnly;
        if (row.readOnly) {
            readOnly.emplace(ParametersKeyPath);
        }
        DriverKeys stored = KeysOf(row.record);
        stored.maxAdapter = row.keys.maxAdapter;

        MessageBoxWatcher watcher;
        EXPECT_EQ(params::StoreDriverParameters(row.record), row.result);
        EXPECT_EQ(DriverKeysSnapshot(),
                  SnapshotOf(row.result == StoreResult::Stored ? stored : row.keys));
        EXPECT_EQ(watcher.Boxes(), Notices({}));
    }
}

// Which keys the program opens, and with which rights, while this exists; and how many of them
// it has not closed.
class KeyOpenings {
public:
    using Opening = std::pair<std::string, REGSAM>;

    KeyOpenings() { s_self = this; }
    ~KeyOpenings() { s_self = nullptr; }
    KeyOpenings(const KeyOpenings&) = delete;
    KeyOpenings& operator=(const KeyOpenings&) = delete;

    const std::vector<Opening>& Openings() const { return m_openings; }
    int Unclosed() const { return m_unclosed; }

private:
    static LSTATUS WINAPI Open(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
        EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
        s_self->m_openings.emplace_back(path, access);
        const LSTATUS status = s_self->m_patch.Original()(root, path, options, access, key);
        s_self->m_unclosed += status == ERROR_SUCCESS;
        return status;
    }
    static LSTATUS WINAPI Close(HKEY key) {
        --s_self->m_unclosed;
        return s_self->m_close.Original()(key);
    }

    static inline KeyOpenings* s_self = nullptr;

    std::vector<Opening> m_openings;
    int m_unclosed = 0;
    ImportPatch<decltype(RegOpenKeyExA)> m_patch{"advapi32.dll", "RegOpenKeyExA", &Open};
    ImportPatch<decltype(RegCloseKey)> m_close{"advapi32.dll", "RegCloseKey", &Close};
};

// Each key is opened with the rights its use needs and no more: elevated, a key opened with all
// the caller may have would carry the rights to change its security and to delete it. Without
// administrator rights the settings still load. Every key opened is closed again.
TEST_F(ParameterStore, KeysAreOpenedWithNoMoreRightsThanTheirUseNeeds) {
    Install({});
    const std::string service(ServiceKeyPath), parameters(ParametersKeyPath);
    {
        KeyOpenings load;
        DriverParameters loaded = Poisoned;
        EXPECT_EQ(Load(loaded), Notices({}));
        EXPECT_EQ(load.Openings(), (std::vector<KeyOpenings::Opening>{
                                       {service, KEY_QUERY_VALUE}, {parameters, KEY_QUERY_VALUE}}));
        EXPECT_EQ(load.Unclosed(), 0);
    }
    {
        KeyOpenings store;
        EXPECT_EQ(params::StoreDriverParameters(Changed), StoreResult::Stored);
        EXPECT_EQ(store.Openings(), (std::vector<KeyOpenings::Opening>{
                                        {parameters, KEY_QUERY_VALUE | KEY_SET_VALUE}}));
        EXPECT_EQ(store.Unclosed(), 0);
    }
    ReadOnlyKey readOnly(ParametersKeyPath);
    DriverParameters loaded = Poisoned;
    EXPECT_EQ(Load(loaded), Notices({}));
    EXPECT_EQ(loaded, (DriverParameters{2, 12, 1, 0}));
}

// The driver must never start on half the new settings: when a write fails, those before it get
// back what they held, and a value that cannot be put back is owned up to rather than hidden.
TEST_F(ParameterStore, StoreUndoesItsWritesWhenOneFails) {
    struct Row {
        const char* why;
        RegistryFaults::Plan faults;
        StoreResult result;
        std::optional<RegistryValue> DriverKeys::*leftNew = nullptr; // all else as before
        std::optional<DriverKeys> keys = std::nullopt;               // when not `keys` below
    };
    const Row rows[] = {
        {"first write fails", {.sets = Call(1)}, StoreResult::Unchanged},
        {"second write fails", {.sets = Call(2)}, StoreResult::Unchanged},
        {"third write fails", {.sets = Call(3)}, StoreResult::Unchanged},
        // An undo that could not be made is no undo: nothing is written.
        {"what the values hold cannot be read", {.queries = EveryCall}, StoreResult::Unchanged},
        // The other put-backs are still made.
        {"third write fails, StartNum0 cannot be put back",
         {.sets = Call(3) | Call(4)},
         StoreResult::PartlyStored,
         &DriverKeys::startNum},
        {"third write fails, ExtMode0 cannot be removed",
         {.sets = Call(3), .deletes = Call(1)},
         StoreResult::PartlyStored,
         &DriverKeys::extMode0},
        // A value that grows between measuring and reading is measured again: it can be put back.
        {"StartNum0 grows while it is read, third write fails, ExtMode0 cannot be removed",
         {.sets = Call(3), .deletes = Call(1), .spoilingQueries = Call(2)},
         StoreResult::PartlyStored,
         &DriverKeys::extMode0},
        // Read and put back through the ANSI calls, "\u03A9" would come back as "O".
        {"second write fails over a string with a character outside the ANSI code page",
         {.sets = Call(2)},
         StoreResult::Unchanged,
         nullptr,
         DriverKeys{.startNum = RegistryValue{REG_SZ, {0xA9, 0x03, 0, 0}}}},
    };
    // A StartNum0 of another type and size must come back byte for byte, and ExtMode0, missing,
    // must be missing again.
    const DriverKeys keys{.startNum = RegistryValue{REG_BINARY, {1, 2, 3, 4, 5}}, .extMode0 = None};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        DriverKeys expected = row.keys.value_or(keys);
        Install(expected);
        const StoreResult result = [&] {
            RegistryFaults faults(row.faults);
            return params::StoreDriverParameters(Changed);
        }();
        if (row.leftNew != nullptr) {
            expected.*row.leftNew = KeysOf(Changed).*row.leftNew;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(expected));
    }
}

} // namespace
