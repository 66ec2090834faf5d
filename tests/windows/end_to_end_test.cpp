// BORVEX.EXE driven from the outside, as its user would: the driver's keys are seeded in the
// prefix's registry, the program is started, its dialog and message boxes are found among
// its windows, typed into and clicked, and afterwards the process's end and every value of
// the driver's keys are checked.

#include "e2e/borvex_process.h"
#include "e2e/driver_registry.h"
#include "support/registry_keys.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using e2e::BorvexProcess;
using e2e::DriverRegistry;
using e2e::ParametersKeyPath;
using e2e::RegistrySnapshot;
using e2e::RegistryValue;
using e2e::ResourceCounts;
using e2e::SeenBox;
using e2e::ServiceKeyPath;
using testsupport::Dword;
using testsupport::NoticeCaption;
using testsupport::ParametersKeyNotice;
using testsupport::ReadOnlyKey;
using testsupport::RestartNotice;
using testsupport::ServiceKeyNotice;
using testsupport::StoreFailedNotice;
using testsupport::ValueNotice;

// The dialog's controls.
constexpr int ApplyId = IDOK;
constexpr int QuitId = IDCANCEL;
constexpr int AdapterCountId = 1005;
constexpr int StartPortId = 1006;
constexpr int ExtMode0Id = 1018;
constexpr int ExtMode1Id = 1019;

// The validation messages, captioned with the program's file name.
constexpr std::string_view MessageCaption = "BORVEX";
constexpr std::string_view IntegerMessage = "Please enter an integer.";
constexpr std::string_view StartPortRangeMessage = "Please enter an integer between 3 and 247.";
constexpr std::string_view AdapterCountRangeMessage = "Please enter an integer between 0 and 4.";

// Nothing in the program sets an exit status; 0 tells a normal end from a crash.
constexpr DWORD NormalExit = 0;

struct ExpectedBox {
    std::string_view text;
    std::string_view caption;
    bool icon;
};

constexpr ExpectedBox Restart{RestartNotice, NoticeCaption, false};
constexpr ExpectedBox StoreFailed{StoreFailedNotice, NoticeCaption, true};

// A box of the program: its text, caption and icon, OK as its only button, and owned by the
// dialog.
void ExpectBox(const SeenBox& box, const ExpectedBox& expected, HWND dialog) {
    EXPECT_EQ(box.text, expected.text);
    EXPECT_EQ(box.caption, expected.caption) << "for \"" << box.text << '"';
    EXPECT_EQ(box.hasIcon, expected.icon) << "for \"" << box.text << '"';
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << "for \"" << box.text << '"';
    EXPECT_EQ(box.owner, dialog) << "for \"" << box.text << '"';
}

void ExpectBoxes(const std::vector<SeenBox>& boxes, const std::vector<ExpectedBox>& expected,
                 HWND dialog) {
    ASSERT_EQ(boxes.size(), expected.size()) << ::testing::PrintToString(boxes);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i));
        ExpectBox(boxes[i], expected[i], dialog);
    }
}

// What the driver's keys hold before a run; a missing optional is a missing value.
struct Installation {
    bool serviceKey = true;
    bool parametersKey = true;
    std::optional<RegistryValue> maxAdapter = Dword(2);
    std::optional<RegistryValue> startNum = Dword(3);
    std::optional<RegistryValue> extMode0 = Dword(0);
    std::optional<RegistryValue> extMode1 = Dword(1);
};

struct NamedValue {
    std::string_view name;
    const std::optional<RegistryValue>& value;
};

void Install(const Installation& installation) {
    testsupport::DeleteKey(ServiceKeyPath);
    if (installation.serviceKey) {
        testsupport::CreateKey(ServiceKeyPath);
        if (installation.maxAdapter) {
            testsupport::SetValue(ServiceKeyPath, "MaxAdapter", installation.maxAdapter->type,
                                  installation.maxAdapter->data);
        }
    }
    if (installation.parametersKey) {
        testsupport::CreateKey(ParametersKeyPath);
        for (const NamedValue value : {NamedValue{"StartNum0", installation.startNum},
                                       NamedValue{"ExtMode0", installation.extMode0},
                                       NamedValue{"ExtMode1", installation.extMode1}}) {
            if (value.value) {
                testsupport::SetValue(ParametersKeyPath, value.name, value.value->type,
                                      value.value->data);
            }
        }
    }
}

// The snapshot that the installation gives: what the keys must hold byte for byte when a
// run changed nothing, or changed exactly what the installation says.
RegistrySnapshot SnapshotOf(const Installation& installation) {
    RegistrySnapshot snapshot;
    if (!installation.serviceKey) {
        return snapshot; // the parameters key cannot exist without it
    }
    snapshot.lines.push_back(e2e::KeyLine(""));
    if (installation.maxAdapter) {
        snapshot.lines.push_back(e2e::ValueLine("", "MaxAdapter", *installation.maxAdapter));
    }
    if (installation.parametersKey) {
        snapshot.lines.push_back(e2e::KeyLine("\\Parameters"));
        for (const NamedValue value : {NamedValue{"StartNum0", installation.startNum},
                                       NamedValue{"ExtMode0", installation.extMode0},
                                       NamedValue{"ExtMode1", installation.extMode1}}) {
            if (value.value) {
                snapshot.lines.push_back(e2e::ValueLine("\\Parameters", value.name, *value.value));
            }
        }
    }
    std::sort(snapshot.lines.begin(), snapshot.lines.end());
    return snapshot;
}

// A registry value that is not 4-byte REG_DWORD but reads as the same number.
RegistryValue Binary(std::uint32_t value) {
    RegistryValue binary = Dword(value);
    binary.type = REG_BINARY;
    return binary;
}

// The installation after a run that applied `startNum` and left the rest as it was.
Installation WithStartNum(Installation installation, std::uint32_t startNum) {
    installation.startNum = Dword(startNum);
    return installation;
}

class EndToEnd : public ::testing::Test {
protected:
    // Starts the program and waits for its dialog, closing and returning the load notices.
    std::vector<SeenBox> Open(BorvexProcess& program) {
        std::vector<SeenBox> notices = program.CloseBoxesUntilShown();
        EXPECT_NE(program.Dialog(), nullptr)
            << "the dialog was not shown; boxes: " << ::testing::PrintToString(notices);
        return notices;
    }

    // Waits for the dialog of a started program, which must come without a notice. Fatal
    // failures end only this: call it in ASSERT_NO_FATAL_FAILURE.
    void OpenQuietly(BorvexProcess& program, std::string_view why = {}) {
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(Open(program).size(), 0u) << why;
        ASSERT_NE(program.Dialog(), nullptr);
    }

    // Waits for the end of the program, closing the boxes it shows meanwhile.
    std::vector<SeenBox> RunToExit(BorvexProcess& program) {
        std::vector<SeenBox> boxes;
        const std::optional<DWORD> exitCode = program.CloseBoxesUntilExit(boxes);
        EXPECT_EQ(exitCode, NormalExit) << "boxes: " << ::testing::PrintToString(boxes);
        return boxes;
    }

    // Runs the program to its end, then checks the boxes it showed on the way and what the
    // driver's keys hold.
    void ExpectEnd(BorvexProcess& program, const std::vector<ExpectedBox>& boxes,
                   const RegistrySnapshot& keys) {
        ExpectBoxes(RunToExit(program), boxes, program.Dialog());
        EXPECT_EQ(m_registry.Snapshot(), keys);
    }

    // The next box of the program, as expected, closed.
    void ExpectBoxAndClose(BorvexProcess& program, const ExpectedBox& expected) {
        const std::optional<SeenBox> box = program.WaitForBox();
        ASSERT_TRUE(box.has_value()) << "no message box; program running: " << program.Running();
        ExpectBox(*box, expected, program.Dialog());
        ASSERT_TRUE(program.CloseBox(*box));
    }

    // A failed store: its notice, and the dialog still there for another try.
    void ExpectStoreFailed(BorvexProcess& program) {
        ASSERT_NO_FATAL_FAILURE(ExpectBoxAndClose(program, StoreFailed));
        EXPECT_TRUE(program.Running());
        EXPECT_TRUE(IsWindowVisible(program.Dialog()));
    }

    // One refused Apply: the message, then the focus in the field with its text selected.
    void ExpectRefusal(BorvexProcess& program, std::string_view message, int fieldId) {
        ASSERT_NO_FATAL_FAILURE(ExpectBoxAndClose(program, {message, MessageCaption, true}));
        ExpectFocusAndSelection(program, fieldId);
    }

    void ExpectFocusAndSelection(BorvexProcess& program, int fieldId) {
        const HWND field = GetDlgItem(program.Dialog(), fieldId);
        const auto length = static_cast<DWORD>(program.Text(fieldId).size());
        const bool settled = program.WaitFor([&] {
            return program.Focus() == field &&
                   program.Selection(fieldId) == std::pair<DWORD, DWORD>{0, length};
        });
        EXPECT_TRUE(settled) << "focus " << program.Focus() << ", wanted " << field
                             << "; selection "
                             << ::testing::PrintToString(program.Selection(fieldId))
                             << ", wanted (0, " << length << ')';
    }

    // Moves the focus as Tab would and waits until it is there.
    bool FocusOn(BorvexProcess& program, int id) {
        program.MoveFocusTo(id);
        return program.WaitFor([&] { return program.Focus() == GetDlgItem(program.Dialog(), id); });
    }

    // Clicks a check box and waits until it shows the click.
    void Toggle(BorvexProcess& program, int id) {
        const bool before = program.Checked(id);
        ASSERT_TRUE(program.Click(id));
        EXPECT_TRUE(program.WaitFor([&] { return program.Checked(id) != before; }))
            << "check box " << id << " stayed " << before;
    }

    DriverRegistry m_registry;
};

// ---- A complete installation: one notice, the values stored, the program gone ----

enum class ApplyBy { ClickOnApply, EnterOnApply, EnterInStartPort };

TEST_F(EndToEnd, AppliesStoresAndEnds) {
    struct Case {
        const char* why;
        ApplyBy applyBy;
        Installation installation;
    };
    const Case cases[] = {
        {"a click, as most users apply", ApplyBy::ClickOnApply, {}},
        {"Enter with the focus where the dialog put it, on Apply", ApplyBy::EnterOnApply, {}},
        // Values stored with another type are read by their bytes and written back as
        // REG_DWORD.
        {"Enter in the start-port field, over values that are not REG_DWORD",
         ApplyBy::EnterInStartPort,
         {.startNum = Binary(3), .extMode0 = Binary(0), .extMode1 = Binary(1)}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        Install(test.installation);
        BorvexProcess program;
        ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));

        EXPECT_EQ(program.Text(AdapterCountId), "2");
        EXPECT_EQ(program.Text(StartPortId), "3");
        EXPECT_FALSE(program.Checked(ExtMode0Id));
        EXPECT_TRUE(program.Checked(ExtMode1Id));

        ASSERT_TRUE(program.SetText(StartPortId, "12"));
        Toggle(program, ExtMode0Id);
        Toggle(program, ExtMode1Id);
        switch (test.applyBy) {
        case ApplyBy::ClickOnApply:
            program.Click(ApplyId);
            break;
        case ApplyBy::EnterOnApply:
            // The check boxes took the focus when clicked; a person tabs back to Apply.
            ASSERT_TRUE(FocusOn(program, ApplyId));
            program.PressKey(VK_RETURN);
            break;
        case ApplyBy::EnterInStartPort:
            ASSERT_TRUE(FocusOn(program, StartPortId));
            program.PressKey(VK_RETURN);
            break;
        }
        Installation applied = WithStartNum(test.installation, 12);
        applied.extMode0 = Dword(1);
        applied.extMode1 = Dword(0);
        ExpectEnd(program, {Restart}, SnapshotOf(applied));
    }
}

// ---- Leaving without applying: no notice, nothing written ----

enum class LeaveBy { Quit, Escape, CloseRequest };

TEST_F(EndToEnd, LeavesWithoutWriting) {
    struct Case {
        const char* why;
        LeaveBy leaveBy;
    };
    const Case cases[] = {
        {"the Quit button", LeaveBy::Quit},
        {"Esc, in the start-port field", LeaveBy::Escape},
        {"a request to close the window, as the task bar sends it", LeaveBy::CloseRequest},
    };
    // A value of another type and length shows any write, even of the same number.
    const Installation installation{.startNum = Binary(3),
                                    .extMode1 = RegistryValue{REG_BINARY, {1}}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        Install(installation);
        const RegistrySnapshot before = m_registry.Snapshot();
        BorvexProcess program;
        ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));

        // Entries that would be stored, had the way out stored anything.
        ASSERT_TRUE(program.SetText(StartPortId, "100"));
        Toggle(program, ExtMode0Id);
        ASSERT_TRUE(FocusOn(program, StartPortId));
        switch (test.leaveBy) {
        case LeaveBy::Quit:
            program.Click(QuitId);
            break;
        case LeaveBy::Escape:
            program.PressKey(VK_ESCAPE);
            break;
        case LeaveBy::CloseRequest:
            program.RequestClose();
            break;
        }
        ExpectEnd(program, {}, before);
    }
}

// ---- Where nothing can be stored: the failure notice, and the dialog stays ----

TEST_F(EndToEnd, NoKeysNoticesFiveTimesAndCannotStore) {
    // The registry is empty: the driver was never set up.
    BorvexProcess program;
    ASSERT_TRUE(program.Started());
    const std::vector<SeenBox> notices = Open(program);
    ASSERT_NE(program.Dialog(), nullptr);
    ExpectBoxes(notices,
                {{ServiceKeyNotice, NoticeCaption, false},
                 {ParametersKeyNotice, NoticeCaption, false},
                 {ValueNotice, NoticeCaption, false},
                 {ValueNotice, NoticeCaption, false},
                 {ValueNotice, NoticeCaption, false}},
                program.Dialog());
    EXPECT_EQ(program.Text(AdapterCountId), "0");
    EXPECT_EQ(program.Text(StartPortId), "0");

    ASSERT_TRUE(program.SetText(StartPortId, "12"));
    // Twice: the dialog really waits for another try after the first failure.
    for (const bool byClick : {true, false}) {
        SCOPED_TRACE(byClick ? "Apply clicked" : "Enter pressed");
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        ASSERT_NO_FATAL_FAILURE(ExpectStoreFailed(program));
        EXPECT_EQ(m_registry.Snapshot(), RegistrySnapshot{}) << "the utility creates no keys";
    }

    program.Click(QuitId);
    ExpectEnd(program, {}, RegistrySnapshot{});
}

TEST_F(EndToEnd, ParametersKeyUnwritableUntilItIsBack) {
    enum class Trouble { RemovedAfterOpening, ReadOnly };
    struct Case {
        const char* why;
        Trouble trouble;
    };
    const Case cases[] = {
        {"the parameters key removed while the dialog is open", Trouble::RemovedAfterOpening},
        {"the parameters key read-only, as for a user without administrator rights",
         Trouble::ReadOnly},
    };
    const Installation installation;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        Install(installation);
        std::optional<ReadOnlyKey> readOnly;
        if (test.trouble == Trouble::ReadOnly) {
            readOnly.emplace(ParametersKeyPath);
            ASSERT_TRUE(readOnly->IsReadOnly());
        }
        BorvexProcess program;
        ASSERT_NO_FATAL_FAILURE(OpenQuietly(program, "reading needs no more than read access"));

        Installation meanwhile = installation;
        if (test.trouble == Trouble::RemovedAfterOpening) {
            ASSERT_TRUE(testsupport::DeleteKey(ParametersKeyPath));
            meanwhile.parametersKey = false;
        }
        ASSERT_TRUE(program.SetText(StartPortId, "15"));
        program.Click(ApplyId);
        ASSERT_NO_FATAL_FAILURE(ExpectStoreFailed(program));
        EXPECT_EQ(m_registry.Snapshot(), SnapshotOf(meanwhile));

        // The administrator puts things right; the user applies again.
        if (test.trouble == Trouble::RemovedAfterOpening) {
            Install(installation);
        } else {
            ASSERT_TRUE(readOnly->Restore());
        }
        program.Click(ApplyId);
        ExpectEnd(program, {Restart}, SnapshotOf(WithStartNum(installation, 15)));
    }
}

// ---- Entries that do not pass: the message, nothing written, the field to correct ----

TEST_F(EndToEnd, RefusesInvalidEntriesThenAppliesValidOne) {
    struct Case {
        const char* entry;
        std::string_view message;
    };
    // Applied by click and by Enter in turn; after the first refusal Enter comes from the
    // start-port field, where the refusal left the focus.
    const Case cases[] = {
        {"abc", IntegerMessage},      {"", IntegerMessage},           {"12a", IntegerMessage},
        {"2", StartPortRangeMessage}, {"248", StartPortRangeMessage}, {"-5", StartPortRangeMessage},
    };
    const Installation installation;
    Install(installation);
    const RegistrySnapshot before = m_registry.Snapshot();
    BorvexProcess program;
    ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));

    bool byClick = true;
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string("entry \"") + test.entry +
                     (byClick ? "\", clicked" : "\", Enter"));
        ASSERT_TRUE(program.SetText(StartPortId, test.entry));
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        byClick = !byClick;
        ExpectRefusal(program, test.message, StartPortId);
        if (HasFailure()) {
            return; // each missed wait costs the whole patience: stop at the first
        }
        EXPECT_EQ(program.Text(StartPortId), test.entry) << "a refusal leaves the text alone";
        EXPECT_TRUE(program.Running());
        EXPECT_EQ(m_registry.Snapshot(), before);
    }

    ASSERT_TRUE(program.SetText(StartPortId, "17"));
    program.PressKey(VK_RETURN);
    ExpectEnd(program, {Restart}, SnapshotOf(WithStartNum(installation, 17)));
}

TEST_F(EndToEnd, TooManyAdaptersRefusesEveryApplyUntilQuit) {
    const Installation installation{.maxAdapter = Dword(7)};
    Install(installation);
    const RegistrySnapshot before = m_registry.Snapshot();
    BorvexProcess program;
    ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));
    EXPECT_EQ(program.Text(AdapterCountId), "7");

    // A start port that would pass: the adapter count is checked first, and fails.
    ASSERT_TRUE(program.SetText(StartPortId, "20"));
    for (const bool byClick : {true, false, true}) {
        SCOPED_TRACE(byClick ? "Apply clicked" : "Enter in the adapter-count field");
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        ExpectRefusal(program, AdapterCountRangeMessage, AdapterCountId);
        if (HasFailure()) {
            return;
        }
        EXPECT_EQ(m_registry.Snapshot(), before);
    }

    program.Click(QuitId);
    ExpectEnd(program, {}, before);
}

// ---- A value missing at opening: one notice, and Apply creates it ----

TEST_F(EndToEnd, ApplyCreatesValueMissingAtOpening) {
    struct Case {
        const char* why;
        Installation installation;
    };
    const Case cases[] = {
        {"StartNum0 missing", {.startNum = std::nullopt}},
        {"ExtMode0 missing", {.extMode0 = std::nullopt}},
        {"ExtMode1 missing: its box opens unchecked and 0 is stored", {.extMode1 = std::nullopt}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        Install(test.installation);
        BorvexProcess program;
        ASSERT_TRUE(program.Started());
        const std::vector<SeenBox> notices = Open(program);
        ASSERT_NE(program.Dialog(), nullptr);
        ExpectBoxes(notices, {{ValueNotice, NoticeCaption, false}}, program.Dialog());

        ASSERT_TRUE(program.SetText(StartPortId, "9"));
        Toggle(program, ExtMode0Id);
        const bool extMode1 = program.Checked(ExtMode1Id);
        EXPECT_EQ(extMode1, test.installation.extMode1.has_value());
        program.Click(ApplyId);

        Installation applied = WithStartNum(test.installation, 9);
        applied.extMode0 = Dword(1); // 0 at opening, whether read or missing, then clicked
        applied.extMode1 = Dword(extMode1 ? 1 : 0);
        ExpectEnd(program, {Restart}, SnapshotOf(applied));
    }
}

// ---- Soak: long use leaks nothing and never fails ----

class EndToEndSoak : public EndToEnd {};

TEST_F(EndToEndSoak, FiveHundredRefusalsLeakNothing) {
    constexpr int Refusals = 500;
    const Installation installation;
    Install(installation);
    const auto started = std::chrono::steady_clock::now();
    BorvexProcess program;
    ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));

    ResourceCounts afterFirst;
    for (int refusal = 1; refusal <= Refusals; ++refusal) {
        SCOPED_TRACE("refusal " + std::to_string(refusal));
        const bool nonInteger = refusal % 2 == 1;
        ASSERT_TRUE(program.SetText(StartPortId, nonInteger ? "x1" : "2"));
        program.PressKey(VK_RETURN);
        ExpectRefusal(program, nonInteger ? IntegerMessage : StartPortRangeMessage, StartPortId);
        if (HasFailure()) {
            return; // one broken refusal tells it all; five hundred would drown it
        }
        if (refusal == 1) {
            afterFirst = program.Counts();
        }
    }
    const ResourceCounts afterLast = program.Counts();
    EXPECT_EQ(afterLast, afterFirst);
    EXPECT_EQ(m_registry.Snapshot(), SnapshotOf(installation));

    ASSERT_TRUE(program.SetText(StartPortId, "30"));
    program.PressKey(VK_RETURN);
    ExpectEnd(program, {Restart}, SnapshotOf(WithStartNum(installation, 30)));

    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    std::printf("%d refusals in %.1f s; objects after the first %s, after the last %s\n", Refusals,
                seconds.count(), ::testing::PrintToString(afterFirst).c_str(),
                ::testing::PrintToString(afterLast).c_str());
}

TEST_F(EndToEndSoak, HundredRunsInARow) {
    constexpr int Runs = 100;
    Installation installation;
    Install(installation);
    const auto started = std::chrono::steady_clock::now();
    for (int run = 1; run <= Runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // Each run stores what the next one shows: a port of its own and the other mode.
        const std::uint32_t port = 3 + static_cast<std::uint32_t>(run);
        const bool extMode0 = run % 2 == 1;
        BorvexProcess program;
        ASSERT_NO_FATAL_FAILURE(OpenQuietly(program));
        EXPECT_EQ(program.Checked(ExtMode0Id), !extMode0);

        ASSERT_TRUE(program.SetText(StartPortId, std::to_string(port)));
        Toggle(program, ExtMode0Id);
        program.Click(ApplyId);
        installation = WithStartNum(installation, port);
        installation.extMode0 = Dword(extMode0 ? 1 : 0);
        ExpectEnd(program, {Restart}, SnapshotOf(installation));
        if (HasFailure()) {
            return;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    std::printf("%d runs in %.1f s\n", Runs, seconds.count());
}

} // namespace
