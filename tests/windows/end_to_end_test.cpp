// BORVEX.EXE driven from the outside, as its user would: the driver's keys are seeded in the
// prefix's registry, the program is started, its dialog and message boxes are found among
// its windows, typed into and clicked, and afterwards the process's end and every value of
// the driver's keys are checked.

#include "harness/program.h"
#include "harness/registry.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace testsupport;
using ::testing::PrintToString;

// The dialog's controls.
constexpr int ApplyId = IDOK;
constexpr int QuitId = IDCANCEL;
constexpr int AdapterCountId = 1005;
constexpr int StartPortId = 1006;
constexpr int ExtMode0Id = 1018;
constexpr int ExtMode1Id = 1019;

// The validation messages are captioned with the program's file name.
constexpr std::string_view MessageCaption = "BORVEX";

// Nothing in the program sets an exit status; 0 tells a normal end from a crash.
constexpr DWORD NormalExit = 0;

struct ExpectedBox {
    std::string_view text;
    std::string_view caption = NoticeCaption;
    bool icon = false;
};

constexpr ExpectedBox Restart{RestartNotice};
constexpr ExpectedBox StoreFailed{StoreFailedNotice, NoticeCaption, true};
constexpr ExpectedBox MissingValue{ValueNotice};

// Boxes of the program: each with its text, caption and icon, OK as its only button, and
// modal to the dialog.
void ExpectBoxes(const std::vector<SeenBox>& boxes, const std::vector<ExpectedBox>& expected,
                 HWND dialog) {
    std::vector<SeenBox> wanted;
    for (const ExpectedBox& box : expected) {
        wanted.push_back(OkBox(box.text, box.caption, box.icon, dialog));
    }
    EXPECT_EQ(boxes, wanted);
}

// A registry value that is not 4-byte REG_DWORD but reads as the same number.
RegistryValue Binary(std::uint32_t value) {
    RegistryValue binary = Dword(value);
    binary.type = REG_BINARY;
    return binary;
}

// The keys after a run that applied `startNum` and left the rest as it was.
DriverKeys WithStartNum(DriverKeys keys, std::uint32_t startNum) {
    keys.startNum = Dword(startNum);
    return keys;
}

class EndToEnd : public ::testing::Test {
protected:
    // The prefix belongs to the test build, so the tests own the driver's keys there: whatever
    // an earlier, killed run left goes first, and what a test leaves goes after it. (A key made
    // read-only still lets anyone delete it.)
    EndToEnd() { DeleteKey(ServiceKeyPath); }
    ~EndToEnd() override {
        m_program.reset();
        DeleteKey(ServiceKeyPath);
    }

    // Starts BORVEX.EXE and waits until its dialog is shown, closing the notices that come
    // first, which must be `notices`. Fatal failures end only this: call it in
    // ASSERT_NO_FATAL_FAILURE.
    void Open(const std::vector<ExpectedBox>& notices = {}) {
        m_program.emplace(WindowsPath(BORVEX_EXE));
        Program& program = *m_program;
        const std::vector<SeenBox> boxes = program.CloseBoxesUntil([&] { return program.Shown(); });
        ASSERT_TRUE(program.Shown()) << "boxes: " << PrintToString(boxes);
        ExpectBoxes(boxes, notices, program.Dialog());
    }

    // Runs the program to its end, closing the boxes it shows meanwhile, which must be `boxes`;
    // then the driver's keys must hold `keys`.
    void ExpectEnd(const std::vector<ExpectedBox>& boxes, const std::vector<std::string>& keys) {
        Program& program = *m_program;
        const std::vector<SeenBox> seen =
            program.CloseBoxesUntil([&] { return !program.Running(); });
        EXPECT_EQ(program.ExitCode(), NormalExit) << "boxes: " << PrintToString(seen);
        ExpectBoxes(seen, boxes, program.Dialog());
        EXPECT_EQ(DriverKeysSnapshot(), keys);
    }

    // The next box of the program, as expected, closed.
    void ExpectBox(const ExpectedBox& expected) {
        const std::optional<SeenBox> box = m_program->WaitForBox();
        ASSERT_TRUE(box.has_value()) << "no message box; program running: " << m_program->Running();
        ExpectBoxes({*box}, {expected}, m_program->Dialog());
        ASSERT_TRUE(m_program->CloseBox(*box));
    }

    // A failed store: its notice, and the dialog still there for another try.
    void ExpectStoreFailed() {
        ASSERT_NO_FATAL_FAILURE(ExpectBox(StoreFailed));
        EXPECT_TRUE(m_program->Running());
        EXPECT_TRUE(m_program->Shown());
    }

    // One refused Apply: the message, then the focus in the field with its text selected.
    void ExpectRefusal(std::string_view message, int fieldId) {
        ASSERT_NO_FATAL_FAILURE(ExpectBox({message, MessageCaption, true}));
        Program& program = *m_program;
        const HWND field = GetDlgItem(program.Dialog(), fieldId);
        const std::pair<DWORD, DWORD> all{0, static_cast<DWORD>(program.Text(fieldId).size())};
        EXPECT_TRUE(program.WaitFor([&] {
            return program.Focus() == field && program.Selection(fieldId) == all;
        })) << "focus "
            << program.Focus() << ", wanted " << field << "; selection "
            << PrintToString(program.Selection(fieldId)) << ", wanted " << PrintToString(all);
    }

    // Clicks a check box and waits until it shows the click.
    void Toggle(int id) {
        const bool before = m_program->Checked(id);
        ASSERT_TRUE(m_program->Click(id));
        EXPECT_TRUE(m_program->WaitFor([&] { return m_program->Checked(id) != before; }))
            << "check box " << id << " stayed " << before;
    }

    std::optional<Program> m_program;
};

// ---- A complete installation: one notice, the values stored, the program gone ----

TEST_F(EndToEnd, AppliesStoresAndEnds) {
    const struct {
        const char* why;
        int enterOn; // the control that has the focus when Enter is pressed; 0: Apply clicked
        DriverKeys keys;
    } cases[] = {
        {"a click, as most users apply", 0, {}},
        // The check boxes took the focus when clicked; a person tabs back to Apply.
        {"Enter on Apply", ApplyId, {}},
        // A check box with the focus has more in its state than its check: 1 and 0 are stored.
        {"Enter on the first check box, checked", ExtMode0Id, {}},
        {"Enter on the second check box, unchecked", ExtMode1Id, {}},
        // Values stored with another type are read by their bytes and written back as
        // REG_DWORD.
        {"Enter in the start-port field, over values that are not REG_DWORD",
         StartPortId,
         {.startNum = Binary(3), .extMode0 = Binary(0), .extMode1 = Binary(1)}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.why);
        Install(test.keys);
        ASSERT_NO_FATAL_FAILURE(Open());
        Program& program = *m_program;

        EXPECT_EQ(program.Text(AdapterCountId), "2");
        EXPECT_EQ(program.Text(StartPortId), "3");
        EXPECT_FALSE(program.Checked(ExtMode0Id));
        EXPECT_TRUE(program.Checked(ExtMode1Id));

        ASSERT_TRUE(program.SetText(StartPortId, "12"));
        Toggle(ExtMode0Id);
        Toggle(ExtMode1Id);
        if (test.enterOn == 0) {
            program.Click(ApplyId);
        } else {
            ASSERT_TRUE(program.FocusOn(test.enterOn));
            program.PressKey(VK_RETURN);
        }
        DriverKeys applied = WithStartNum(test.keys, 12);
        applied.extMode0 = Dword(1);
        applied.extMode1 = Dword(0);
        ExpectEnd({Restart}, SnapshotOf(applied));
    }
}

// ---- Leaving without applying: no notice, nothing written ----

TEST_F(EndToEnd, LeavesWithoutWriting) {
    const struct {
        const char* why;
        std::function<bool(Program&)> leave;
    } cases[] = {
        {"the Quit button", [](Program& program) { return program.Click(QuitId); }},
        {"Esc, in the start-port field",
         [](Program& program) { return program.PressKey(VK_ESCAPE); }},
        {"a request to close the window, as the task bar sends it",
         [](Program& program) { return program.RequestClose(); }},
        // The program offers no help: F1 in the dialog and in a box starts nothing and shows
        // nothing. The keys are typed, so each reaches the program after the one before.
        {"F1 in the dialog and in a refusal, then Esc",
         [](Program& program) {
             program.SetText(StartPortId, "x");
             TypeKey(VK_F1);
             TypeKey(VK_RETURN);
             const std::optional<SeenBox> refusal = program.WaitForBox();
             EXPECT_EQ(refusal, OkBox(IntegerMessage, MessageCaption, true, program.Dialog()));
             TypeKey(VK_F1);
             TypeKey(VK_RETURN);
             return program.WaitFor([&] { return program.Box() == nullptr; }) && TypeKey(VK_ESCAPE);
         }},
    };
    // A value of another type and length shows any write, even of the same number.
    const DriverKeys keys{.startNum = Binary(3), .extMode1 = RegistryValue{REG_BINARY, {1}}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.why);
        Install(keys);
        ASSERT_NO_FATAL_FAILURE(Open());
        Program& program = *m_program;

        // Entries that would be stored, had the way out stored anything.
        ASSERT_TRUE(program.SetText(StartPortId, "100"));
        Toggle(ExtMode0Id);
        ASSERT_TRUE(program.FocusOn(StartPortId));
        test.leave(program);
        ExpectEnd({}, SnapshotOf(keys));
    }
}

// ---- Where nothing can be stored: the failure notice, and the dialog stays ----

TEST_F(EndToEnd, NoKeysNoticesFiveTimesAndCannotStore) {
    // The registry is empty: the driver was never set up.
    ASSERT_NO_FATAL_FAILURE(Open(
        {{ServiceKeyNotice}, {ParametersKeyNotice}, MissingValue, MissingValue, MissingValue}));
    Program& program = *m_program;
    EXPECT_EQ(program.Text(AdapterCountId), "0");
    EXPECT_EQ(program.Text(StartPortId), "0");

    ASSERT_TRUE(program.SetText(StartPortId, "12"));
    // Twice: the dialog really waits for another try after the first failure.
    for (const bool byClick : {true, false}) {
        SCOPED_TRACE(byClick ? "Apply clicked" : "Enter pressed");
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        ASSERT_NO_FATAL_FAILURE(ExpectStoreFailed());
        EXPECT_EQ(DriverKeysSnapshot(), std::vector<std::string>{})
            << "the utility creates no keys";
    }

    program.Click(QuitId);
    ExpectEnd({}, {});
}

TEST_F(EndToEnd, ParametersKeyUnwritableUntilItIsBack) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "the parameters key read-only, as for a user without "
                                "administrator rights"
                              : "the parameters key removed while the dialog is open");
        const DriverKeys keys;
        Install(keys);
        std::optional<ReadOnlyKey> readOnlyKey;
        if (readOnly) {
            readOnlyKey.emplace(ParametersKeyPath);
            ASSERT_TRUE(readOnlyKey->IsReadOnly());
        }
        ASSERT_NO_FATAL_FAILURE(Open()) << "reading needs no more than read access";
        Program& program = *m_program;

        DriverKeys meanwhile = keys;
        if (!readOnly) {
            ASSERT_TRUE(DeleteKey(ParametersKeyPath));
            meanwhile.parametersKey = false;
        }
        ASSERT_TRUE(program.SetText(StartPortId, "15"));
        program.Click(ApplyId);
        ASSERT_NO_FATAL_FAILURE(ExpectStoreFailed());
        EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(meanwhile));

        // The administrator puts things right; the user applies again.
        ASSERT_TRUE(readOnly ? readOnlyKey->Restore() : Install(keys));
        program.Click(ApplyId);
        ExpectEnd({Restart}, SnapshotOf(WithStartNum(keys, 15)));
    }
}

// ---- Entries that do not pass: the message, nothing written, the field to correct ----

TEST_F(EndToEnd, RefusesInvalidEntriesThenAppliesValidOne) {
    const struct {
        const char* entry;
        std::string_view message;
    } cases[] = {
        {"abc", IntegerMessage},      {"", IntegerMessage},           {"12a", IntegerMessage},
        {"2", StartPortRangeMessage}, {"248", StartPortRangeMessage}, {"-5", StartPortRangeMessage},
    };
    const DriverKeys keys;
    Install(keys);
    ASSERT_NO_FATAL_FAILURE(Open());
    Program& program = *m_program;

    // Applied by click and by Enter in turn; after the first refusal Enter comes from the
    // start-port field, where the refusal left the focus.
    bool byClick = true;
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string("entry \"") + test.entry +
                     (byClick ? "\", clicked" : "\", Enter"));
        ASSERT_TRUE(program.SetText(StartPortId, test.entry));
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        byClick = !byClick;
        ExpectRefusal(test.message, StartPortId);
        if (HasFailure()) {
            return; // each missed wait costs the whole patience: stop at the first
        }
        EXPECT_EQ(program.Text(StartPortId), test.entry) << "a refusal leaves the text alone";
        EXPECT_TRUE(program.Running());
        EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(keys));
    }

    ASSERT_TRUE(program.SetText(StartPortId, "17"));
    program.PressKey(VK_RETURN);
    ExpectEnd({Restart}, SnapshotOf(WithStartNum(keys, 17)));
}

TEST_F(EndToEnd, TooManyAdaptersRefusesEveryApplyUntilQuit) {
    const DriverKeys keys{.maxAdapter = Dword(7)};
    Install(keys);
    ASSERT_NO_FATAL_FAILURE(Open());
    Program& program = *m_program;
    EXPECT_EQ(program.Text(AdapterCountId), "7");

    // A start port that would pass: the adapter count is checked first, and fails.
    ASSERT_TRUE(program.SetText(StartPortId, "20"));
    for (const bool byClick : {true, false, true}) {
        SCOPED_TRACE(byClick ? "Apply clicked" : "Enter in the adapter-count field");
        byClick ? program.Click(ApplyId) : program.PressKey(VK_RETURN);
        ExpectRefusal(AdapterRangeMessage, AdapterCountId);
        if (HasFailure()) {
            return;
        }
        EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(keys));
    }

    program.Click(QuitId);
    ExpectEnd({}, SnapshotOf(keys));
}

// ---- A value missing at opening: one notice, and Apply creates it ----

TEST_F(EndToEnd, ApplyCreatesValueMissingAtOpening) {
    const struct {
        const char* why;
        DriverKeys keys;
    } cases[] = {
        {"StartNum0 missing", {.startNum = std::nullopt}},
        {"ExtMode0 missing", {.extMode0 = std::nullopt}},
        {"ExtMode1 missing: its box opens unchecked and 0 is stored", {.extMode1 = std::nullopt}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.why);
        Install(test.keys);
        ASSERT_NO_FATAL_FAILURE(Open({MissingValue}));
        Program& program = *m_program;

        ASSERT_TRUE(program.SetText(StartPortId, "9"));
        Toggle(ExtMode0Id);
        const bool extMode1 = program.Checked(ExtMode1Id);
        EXPECT_EQ(extMode1, test.keys.extMode1.has_value());
        program.Click(ApplyId);

        DriverKeys applied = WithStartNum(test.keys, 9);
        applied.extMode0 = Dword(1); // 0 at opening, whether read or missing, then clicked
        applied.extMode1 = Dword(extMode1 ? 1 : 0);
        ExpectEnd({Restart}, SnapshotOf(applied));
    }
}

// ---- Soak: long use leaks nothing and never fails ----

class EndToEndSoak : public EndToEnd {};

TEST_F(EndToEndSoak, FiveHundredRefusalsLeakNothing) {
    constexpr int Refusals = 500;
    const DriverKeys keys;
    Install(keys);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(Open());
    Program& program = *m_program;

    ResourceCounts afterFirst;
    for (int refusal = 1; refusal <= Refusals; ++refusal) {
        SCOPED_TRACE("refusal " + std::to_string(refusal));
        const bool nonInteger = refusal % 2 == 1;
        ASSERT_TRUE(program.SetText(StartPortId, nonInteger ? "x1" : "2"));
        program.PressKey(VK_RETURN);
        ExpectRefusal(nonInteger ? IntegerMessage : StartPortRangeMessage, StartPortId);
        if (HasFailure()) {
            return; // one broken refusal tells it all; five hundred would drown it
        }
        if (refusal == 1) {
            afterFirst = program.Counts();
        }
    }
    const ResourceCounts afterLast = program.Counts();
    EXPECT_EQ(afterLast, afterFirst);
    EXPECT_EQ(DriverKeysSnapshot(), SnapshotOf(keys));

    ASSERT_TRUE(program.SetText(StartPortId, "30"));
    program.PressKey(VK_RETURN);
    ExpectEnd({Restart}, SnapshotOf(WithStartNum(keys, 30)));

    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    std::printf("%d refusals in %.1f s; objects after the first %s, after the last %s\n", Refusals,
                seconds.count(), PrintToString(afterFirst).c_str(),
                PrintToString(afterLast).c_str());
}

TEST_F(EndToEndSoak, HundredRunsInARow) {
    constexpr int Runs = 100;
    DriverKeys keys;
    Install(keys);
    const auto started = std::chrono::steady_clock::now();
    for (int run = 1; run <= Runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // Each run stores what the next one shows: a port of its own and the other mode.
        const std::uint32_t port = 3 + static_cast<std::uint32_t>(run);
        const bool extMode0 = run % 2 == 1;
        ASSERT_NO_FATAL_FAILURE(Open());
        Program& program = *m_program;
        EXPECT_EQ(program.Checked(ExtMode0Id), !extMode0);

        ASSERT_TRUE(program.SetText(StartPortId, std::to_string(port)));
        Toggle(ExtMode0Id);
        program.Click(ApplyId);
        keys = WithStartNum(keys, port);
        keys.extMode0 = Dword(extMode0 ? 1 : 0);
        ExpectEnd({Restart}, SnapshotOf(keys));
        if (HasFailure()) {
            return;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    std::printf("%d runs in %.1f s\n", Runs, seconds.count());
}

} // namespace
