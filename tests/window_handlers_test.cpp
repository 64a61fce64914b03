// The window's handlers, its start-up and the drive table's refresh, driven as a user drives
// the window, on the in-memory controls over a simulated machine: no display, no toolkit.
// Each table is one behaviour and each row a named scenario.

#include "FrmManage/FrmEditProtect.h"
#include "FrmManage/memory/MemoryForm.h"
#include "WindowFixture.h"
#include "app/DriveTable.h"
#include "app/StartUp.h"
#include "app/Texts.h"
#include "platform/DeviceChange.h"
#include "platform/Drives.h"
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <concepts>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <ostream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using lunavio_test::Bytes;
using lunavio_test::DeviceDriveLine;
using lunavio_test::kDriveE;
using lunavio_test::kDriveF;
using lunavio_test::kDriveG;
using lunavio_test::kFileOfE;
using lunavio_test::kFileOfF;
using lunavio_test::ProtectionFileBytes;
using platform::BoxOwner;
using platform::kDbtDeviceArrival;
using platform::kDbtDeviceRemoveComplete;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;
using Names = std::vector<std::u16string>;

// Every table's rows are named; the name is the test's and what a failure prints.
template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}
template <typename Case>
requires requires(const Case& c) {
    { c.name } -> std::convertible_to<std::string>;
}
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

const std::string kFNotFound =
    "Local Drive (F:\\) is not found. Change the current drive to MEDIA (E:\\)";
const Names kFoldersOfE = {u"ALPHA", u"BETA", u"GAMMA"};
const Names kFoldersOfF = {u"A_FOLDER_NAME_OF_25_UNITS", u"MOVIES", u"MUSIC", u"PHOTOS"};

FolderRow Row(std::u16string name, int stateIndex, std::u16string storedName = {}) {
    FolderRow row;
    row.nameTooLong = name.size() >= 19;
    row.storedName = storedName.empty() ? name : storedName;
    row.name = std::move(name);
    row.lastWrite = {2024, 1, 2, 10, 0, 0};
    row.stateIndex = stateIndex;
    return row;
}

// count rows named <prefix>A, <prefix>B, ... with stateIndex.
std::vector<FolderRow> Rows(const std::u16string& prefix, int count, int stateIndex) {
    std::vector<FolderRow> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(Row(prefix + char16_t(u'A' + i), stateIndex));
    }
    return rows;
}

std::vector<FolderRow> operator+(std::vector<FolderRow> a, const std::vector<FolderRow>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::u16string SlotText(const PathSlot& slot) {
    return std::u16string(slot.data(), std::find(slot.begin(), slot.end(), u'\0'));
}

bool SameRecord(const DriveProtection& a, const DriveProtection& b) {
    return a.DriveLetter == b.DriveLetter && a.Password == b.Password &&
           a.WaitState == b.WaitState && a.PrivateFolders == b.PrivateFolders;
}

// The used PrivateFolders slots of a record.
Names RecordFolders(const DriveProtection& record) {
    Names folders;
    for (const PathSlot& slot : record.PrivateFolders) {
        if (slot[0] != 0) {
            folders.push_back(SlotText(slot));
        }
    }
    return folders;
}

// Runs program with args, its output dropped; true when it ran and exited with 0.
bool RunProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The regular files of a folder, hidden ones included, with their contents.
std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = lunavio_test::ReadFile(entry.path());
        }
    }
    return files;
}

// The open window as its user meets it.
class Session {
public:
    Session(TFrmEditProtect& window, const lunavio_test::DeviceMachine& machine)
        : w(window), form(MemoryFormOf(window)), machine_(machine) {}

    int RowOf(std::u16string_view name) const { return Find(name, &FolderRowView::name); }
    // A click on the named row; on the empty space below the rows for an empty name.
    void Click(std::u16string_view name) { form.ClickRow(name.empty() ? -1 : RowOf(name)); }
    void MarkPrivate(std::u16string_view name) {
        Click(name);
        form.Press(w.BitBtn1);
    }
    void MarkPublic(std::u16string_view name) {
        Click(name);
        form.Press(w.BitBtn2);
    }
    // Replaces the list's rows, as a listing would have left them.
    void ShowRows(const std::vector<FolderRow>& rows) {
        w.ListView1.Clear();
        AddRows(rows);
    }
    void AddRows(const std::vector<FolderRow>& rows) {
        for (const FolderRow& row : rows) {
            w.ListView1.AppendFolderRow(row);
        }
        w.ListView1.FinishAppending();
    }

    // The rows' names, sorted.
    Names Listed() const {
        Names names;
        for (std::size_t i = 0; i < w.ListView1.RowCount(); ++i) {
            names.emplace_back(w.ListView1.Row(i).name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The private rows' stored names in list order.
    Names PrivateRows() const {
        Names names;
        for (std::size_t i = 0; i < w.ListView1.RowCount(); ++i) {
            if (w.ListView1.Row(i).IsPrivate()) {
                names.emplace_back(w.ListView1.Row(i).storedName);
            }
        }
        return names;
    }
    std::vector<int> States() const {
        std::vector<int> states;
        for (std::size_t i = 0; i < w.ListView1.RowCount(); ++i) {
            states.push_back(w.ListView1.Row(i).stateIndex);
        }
        return states;
    }
    // Stored names, in the order of their rows.
    Names InListOrder(Names names) const {
        const auto at = [this](const std::u16string& name) {
            return Find(name, &FolderRowView::storedName);
        };
        std::sort(names.begin(), names.end(),
                  [&](const auto& a, const auto& b) { return at(a) < at(b); });
        return names;
    }

    void Plug(const std::vector<std::string>& lines) const { machine_.Plug(lines); }
    // The device-change message as the operating system sends it; returns the answer.
    std::intptr_t Notify(std::uintptr_t code = kDbtDeviceArrival) {
        platform::DeviceChangeMessage message{.WParam = code};
        w.OnDeviceChange(message);
        return message.Result;
    }

    TFrmEditProtect& w;
    MemoryForm& form;

private:
    // The first row whose text is name.
    int Find(std::u16string_view name, std::u16string_view FolderRowView::*text) const {
        for (std::size_t i = 0; i < w.ListView1.RowCount(); ++i) {
            if (w.ListView1.Row(i).*text == name) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no row " << std::string(name.begin(), name.end());
        return -1;
    }

    const lunavio_test::DeviceMachine& machine_;
};

class WindowHandlersTest : public ::testing::Test {
protected:
    WindowHandlersTest() { ResetGlobals(); }
    ~WindowHandlersTest() override {
        for (auto point = mounts_.rbegin(); point != mounts_.rend(); ++point) {
            RunProgram("umount", {point->string()});
        }
        ResetGlobals();
    }

    static void ResetGlobals() {
        platform::FailReplaceStepForTesting(std::nullopt);
        DriveTable = DriveTableArray{};
        OsVersionInfo = {};
        VolumeIsFat = false;
    }

    // The program's start-up on the machine, the controls in memory; user is the user of the
    // modal window. Returns the start-up's result.
    int Run(const std::function<void(Session&)>& user) {
        bool shown = false;
        const int result = StartUp([&](TFrmEditProtect& window) {
            auto form = std::make_unique<MemoryForm>(window);
            form->modalRun = [this, &shown, &user, opened = &window] {
                shown = true;
                Session session(*opened, machine_);
                user(session);
            };
            return form;
        });
        EXPECT_TRUE(shown) << "the window was never shown";
        return result;
    }

    std::optional<Bytes> FileOf(std::string_view folder) const {
        return lunavio_test::ReadBytes(machine_.Folder(folder) / "MPlay.sys");
    }

    // Every used table entry holds what its drive's file says now, as a rebuild gives it;
    // entries from `used` on are zero.
    void ExpectTableMatchesTheDrives(std::size_t used) const {
        for (std::size_t i = 0; i < kDriveTableEntries; ++i) {
            DriveProtection expected{};
            if (i < used) {
                expected.DriveLetter = DriveTable[i].DriveLetter;
                LoadDriveProtection(expected, 0);
            }
            EXPECT_TRUE(SameRecord(DriveTable[i], expected)) << "entry " << i;
        }
    }

    // Mounts with args at the machine's folder name; false when the machine allows no such
    // mount. Unmounted when the test ends.
    bool Mount(std::string_view name, std::vector<std::string> args) {
        const std::filesystem::path point = machine_.Folder(name);
        std::filesystem::create_directories(point);
        args.push_back(point.string());
        if (!RunProgram("mount", args)) {
            return false;
        }
        mounts_.push_back(point);
        return true;
    }

    lunavio_test::DeviceMachine machine_;
    lunavio_test::BoxRecorder boxes_;

private:
    std::vector<std::filesystem::path> mounts_;
};

template <typename Case>
class Scenarios : public WindowHandlersTest, public ::testing::WithParamInterface<Case> {};

#define LUNAVIO_SCENARIOS(Suite, CaseType, table)                                                  \
    INSTANTIATE_TEST_SUITE_P(WindowHandlers, Suite, ::testing::ValuesIn(table), CaseName<CaseType>)

// --- A click in the list ---------------------------------------------------------------

struct ClickCase {
    const char* name;
    std::u16string row; // empty: the space below the rows
    bool markPrivate;
    bool markPublic;
};
const ClickCase kClicks[] = {
    {"private_row", u"PRIVATE", false, true},
    {"markable_public_row", u"PUBLIC", true, false},
    {"public_row_with_a_long_name", u"A_NAME_OF_19_UNITS_", false, false},
    {"private_row_with_a_long_name", u"LONG_PRIVATE_NAME_19", false, true},
    {"space_below_the_rows", u"", false, false},
};
using AClickInTheList = Scenarios<ClickCase>;

TEST_P(AClickInTheList, EnablesTheMarkButtonThatFitsTheRow) {
    const ClickCase& c = GetParam();
    Run([&](Session& s) {
        s.ShowRows({Row(u"PRIVATE", 2), Row(u"PUBLIC", -1), Row(u"A_NAME_OF_19_UNITS_", -1),
                    Row(u"LONG_PRIVATE_NAME_19", 2)});
        s.w.BitBtn1.SetEnabled(!c.markPrivate);
        s.w.BitBtn2.SetEnabled(!c.markPublic);
        s.Click(c.row);
        EXPECT_EQ(s.w.ListView1.SelectedRow(), c.row.empty() ? -1 : s.RowOf(c.row));
        EXPECT_EQ(s.w.BitBtn1.Enabled(), c.markPrivate);
        EXPECT_EQ(s.w.BitBtn2.Enabled(), c.markPublic);
    });
}
LUNAVIO_SCENARIOS(AClickInTheList, ClickCase, kClicks);

// --- The limit of 16 -------------------------------------------------------------------

struct LimitCase {
    const char* name;
    int privateRows;
    bool oneOfThemTooLong; // private from the drive's file, so it counts as well
    bool refused;
};
const LimitCase kLimits[] = {
    {"fifteen_private_plus_one", 15, false, false},
    {"sixteen_private_plus_one", 16, false, true},
    {"fifteen_with_a_long_name_plus_one", 15, true, false},
    {"sixteen_with_a_long_name_plus_one", 16, true, true},
};
using MarkAsPrivate = Scenarios<LimitCase>;

TEST_P(MarkAsPrivate, KeepsToSixteenPrivateRowsAndChangesNothingWhenItRefuses) {
    const LimitCase& c = GetParam();
    Run([&](Session& s) {
        const int longRows = c.oneOfThemTooLong ? 1 : 0;
        s.ShowRows(Rows(u"A_PRIVATE_LONG_NAME_", longRows, 2) +
                   Rows(u"PRIVATE_", c.privateRows - longRows, 2) +
                   std::vector{Row(u"PUBLIC", -1), Row(u"OTHER", -1)});
        const int candidate = s.RowOf(u"PUBLIC");
        s.Click(u"PUBLIC");
        ASSERT_TRUE(s.w.BitBtn1.Enabled());
        s.w.BitBtn2.SetEnabled(true); // both buttons' states must survive a refusal
        std::vector<int> states = s.States();

        s.form.Press(s.w.BitBtn1);

        if (c.refused) {
            ASSERT_EQ(boxes_.boxes.size(), 1u);
            EXPECT_EQ(boxes_.boxes[0].text, "Lunavio cannot protect more than 16 folders");
            EXPECT_EQ(boxes_.boxes[0].title, "Lunavio Utility");
            EXPECT_EQ(boxes_.boxes[0].owner, BoxOwner::None);
            EXPECT_EQ(s.w.ListView1.SelectedRow(), candidate);
            EXPECT_TRUE(s.w.BitBtn1.Enabled());
            EXPECT_TRUE(s.w.BitBtn2.Enabled());
        } else {
            EXPECT_THAT(boxes_.boxes, IsEmpty());
            states[static_cast<std::size_t>(candidate)] = 2;
            EXPECT_EQ(s.w.ListView1.SelectedRow(), -1);
            EXPECT_FALSE(s.w.BitBtn1.Enabled());
            EXPECT_FALSE(s.w.BitBtn2.Enabled());
        }
        EXPECT_EQ(s.States(), states);
    });
}
LUNAVIO_SCENARIOS(MarkAsPrivate, LimitCase, kLimits);

// --- Marking what cannot change, and "Mark as Public" -----------------------------------

struct MarkCase {
    const char* name;
    std::u16string selected; // empty: no row selected
    bool markPrivate;        // "Mark as Private", else "Mark as Public"
    int state;               // the selected row's state index afterwards
    bool keepsSelection;
    // The buttons a further click on the row enables, when that matters.
    std::optional<std::pair<bool, bool>> clickedAgain;
};
const MarkCase kMarks[] = {
    {"private_on_an_already_private_row_at_sixteen", u"PRIVATE_A", true, 2, false, {}},
    {"private_on_a_row_with_a_long_name", u"A_NAME_OF_19_UNITS_", true, -1, false, {}},
    {"private_with_no_row_selected", u"", true, 0, false, {}},
    {"public_on_a_private_row", u"PRIVATE_A", false, -1, true, std::pair{true, false}},
    {"public_on_a_private_row_with_a_long_name", u"LONG_PRIVATE_NAME_19", false, -1, true,
     std::pair{false, false}},
    {"public_with_no_row_selected", u"", false, 0, false, {}},
};
using MarkButtons = Scenarios<MarkCase>;

// The buttons are enabled as if the selection had moved without a click in the list.
TEST_P(MarkButtons, ChangeOnlyTheSelectedMarkableRowAndDisableBothButtons) {
    const MarkCase& c = GetParam();
    Run([&](Session& s) {
        s.ShowRows(Rows(u"PRIVATE_", 15, 2) +
                   std::vector{Row(u"LONG_PRIVATE_NAME_19", 2), Row(u"A_NAME_OF_19_UNITS_", -1)});
        if (!c.selected.empty()) {
            s.w.ListView1.SetSelected(static_cast<std::size_t>(s.RowOf(c.selected)), true);
        }
        std::vector<int> states = s.States();
        s.w.BitBtn1.SetEnabled(true);
        s.w.BitBtn2.SetEnabled(true);

        s.form.Press(c.markPrivate ? s.w.BitBtn1 : s.w.BitBtn2);

        EXPECT_THAT(boxes_.boxes, IsEmpty());
        if (!c.selected.empty()) {
            states[static_cast<std::size_t>(s.RowOf(c.selected))] = c.state;
        }
        EXPECT_EQ(s.States(), states);
        EXPECT_EQ(s.w.ListView1.SelectedRow(), c.keepsSelection ? s.RowOf(c.selected) : -1);
        EXPECT_FALSE(s.w.BitBtn1.Enabled());
        EXPECT_FALSE(s.w.BitBtn2.Enabled());
        if (c.clickedAgain) {
            s.Click(c.selected);
            EXPECT_EQ(s.w.BitBtn1.Enabled(), c.clickedAgain->first);
            EXPECT_EQ(s.w.BitBtn2.Enabled(), c.clickedAgain->second);
        }
    });
}
LUNAVIO_SCENARIOS(MarkButtons, MarkCase, kMarks);

// --- Saving ----------------------------------------------------------------------------

struct SaveCase {
    const char* name;
    std::function<void(Session&)> steps;
    const char* folder;
    std::size_t entry;
    Names privateRows; // written in list order
    std::uint16_t password;
    std::uint8_t waitState;
    const char* label;
};
const SaveCase kSaves[] = {
    {"a_marked_row_joins_the_stored_one",
     [](Session& s) {
         s.MarkPrivate(u"GAMMA");
         s.form.TypePassword("0417");
     },
     "e",
     0,
     {u"ALPHA", u"GAMMA"},
     0x0417,
     3,
     "MEDIA (E:\\)"},
    {"names_in_list_order_not_in_the_files",
     [](Session& s) {
         s.ShowRows({Row(u"GAMMA", 2), Row(u"BETA", -1), Row(u"ALPHA", 2)});
     },
     "e",
     0,
     {u"GAMMA", u"ALPHA"},
     0x1234,
     3,
     "MEDIA (E:\\)"},
    {"the_stored_name_not_the_shown_one",
     [](Session& s) { s.ShowRows({Row(u"Music", 2, u"MUSIC")}); },
     "e",
     0,
     {u"MUSIC"},
     0x1234,
     3,
     "MEDIA (E:\\)"},
    {"a_long_private_name_from_the_file_on_the_second_drive",
     [](Session& s) {
         s.form.ChooseEntry(1);
         s.MarkPrivate(u"MUSIC");
     },
     "f",
     1,
     {u"A_FOLDER_NAME_OF_25_UNITS", u"MUSIC"},
     0x9876,
     7,
     "Local Drive (F:\\)"},
    {"four_zeros_are_the_value_zero",
     [](Session& s) { s.form.TypePassword("0000"); },
     "e",
     0,
     {u"ALPHA"},
     0x0000,
     3,
     "MEDIA (E:\\)"},
    {"each_digit_in_its_own_four_bits",
     [](Session& s) { s.form.TypePassword("9081"); },
     "e",
     0,
     {u"ALPHA"},
     0x9081,
     3,
     "MEDIA (E:\\)"},
    {"no_private_row",
     [](Session& s) { s.MarkPublic(u"ALPHA"); },
     "e",
     0,
     {},
     0x1234,
     3,
     "MEDIA (E:\\)"},
    {"sixteen_rows_of_eighteen_units",
     [](Session& s) { s.ShowRows(Rows(u"A_NAME_OF_18_UNIT", 16, 2)); }, "e", 0,
     [] {
         Names names;
         for (const FolderRow& row : Rows(u"A_NAME_OF_18_UNIT", 16, 2)) {
             names.push_back(row.name);
         }
         return names;
     }(),
     0x1234, 3, "MEDIA (E:\\)"},
    {"a_drive_without_a_file_gets_one",
     [](Session& s) {
         s.Plug({kDriveE, kDriveF, kDriveG});
         s.Notify();
         s.form.ChooseEntry(2);
         s.MarkPrivate(u"ARCHIVE");
         s.form.TypePassword("2468");
     },
     "g",
     2,
     {u"ARCHIVE"},
     0x2468,
     0,
     "BACKUP (G:\\)"},
};
using Save = Scenarios<SaveCase>;

TEST_P(Save, WritesThePrivateRowsThePasswordAndTheWaitStateAndReloadsTheRecord) {
    const SaveCase& c = GetParam();
    Run([&](Session& s) {
        c.steps(s);
        const DriveTableArray before = DriveTable;
        const std::vector<int> states = s.States();
        const std::string password = s.w.MaskEdit1.Text();
        const Names saved = s.InListOrder(c.privateRows);
        const Bytes expected = ProtectionFileBytes(saved, c.password, c.waitState);

        EXPECT_EQ(s.w.BitBtn4Click(), WriteOutcome::Written);

        EXPECT_EQ(FileOf(c.folder), expected);
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_EQ(boxes_.boxes[0].text, std::string("Save to ") + c.label + " OK!");
        EXPECT_EQ(boxes_.boxes[0].title, "Lunavio Utility");
        EXPECT_EQ(boxes_.boxes[0].owner, BoxOwner::Window);
        const DriveProtection& record = DriveTable[c.entry];
        EXPECT_EQ(record.DriveLetter, before[c.entry].DriveLetter);
        EXPECT_EQ(record.Password, c.password);
        EXPECT_EQ(record.WaitState, c.waitState);
        Names paths;
        for (const std::u16string& name : saved) {
            paths.push_back(std::u16string{record.DriveLetter, u':', u'\\'} + name);
        }
        EXPECT_EQ(RecordFolders(record), paths);
        for (std::size_t i = 0; i < kDriveTableEntries; ++i) {
            EXPECT_TRUE(i == c.entry || SameRecord(DriveTable[i], before[i])) << "entry " << i;
        }
        // The window stays as it was.
        EXPECT_EQ(s.States(), states);
        EXPECT_EQ(s.w.MaskEdit1.Text(), password);
        EXPECT_TRUE(s.w.BitBtn4.Enabled());

        // Saving again without changes writes the same file.
        s.form.Press(s.w.BitBtn4);
        EXPECT_EQ(FileOf(c.folder), expected);
        EXPECT_EQ(boxes_.boxes.size(), 2u);
    });
}
LUNAVIO_SCENARIOS(Save, SaveCase, kSaves);

// --- What "Save" checks first ----------------------------------------------------------

struct CheckCase {
    const char* name;
    const char* typedIntoSelector; // null: the drive stays chosen
    std::string password;
    const char* message;
    BoxOwner owner;
};
const char* const kChooseDrive = "Please choose a drive of Lunavio";
const char* const kPasswordRange = "Password must be 0000 - 9999";
const CheckCase kChecks[] = {
    {"no_drive_chosen", "X", "1234", kChooseDrive, BoxOwner::Window},
    {"no_drive_chosen_and_a_bad_password", "X", "12", kChooseDrive, BoxOwner::Window},
    {"password_empty", nullptr, "", kPasswordRange, BoxOwner::None},
    {"password_of_three_digits", nullptr, "123", kPasswordRange, BoxOwner::None},
    {"password_of_five_digits", nullptr, "12345", kPasswordRange, BoxOwner::None},
    {"four_blank_positions", nullptr, "    ", kPasswordRange, BoxOwner::None},
    {"a_blank_among_the_digits", nullptr, "12 4", kPasswordRange, BoxOwner::None},
    {"a_letter", nullptr, "12a4", kPasswordRange, BoxOwner::None},
    {"the_character_after_nine", nullptr, "123:", kPasswordRange, BoxOwner::None},
    {"the_character_before_zero", nullptr, "/123", kPasswordRange, BoxOwner::None},
    {"a_byte_above_127", nullptr,
     "12\xE9"
     "4",
     kPasswordRange, BoxOwner::None},
};
using SaveRefuses = Scenarios<CheckCase>;

TEST_P(SaveRefuses, WithoutAChosenDriveOrAFourDigitPasswordAndWritesNothing) {
    const CheckCase& c = GetParam();
    Run([&](Session& s) {
        s.MarkPrivate(u"BETA"); // a save would change the file
        if (c.typedIntoSelector) {
            s.form.TypeIntoSelector(c.typedIntoSelector);
        }
        s.form.TypePassword(c.password);
        s.w.BitBtn4.SetFocus(); // as the click on "Save" gives it
        const DriveTableArray before = DriveTable;

        EXPECT_EQ(s.w.BitBtn4Click(), std::nullopt);

        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_EQ(boxes_.boxes[0].text, c.message);
        EXPECT_EQ(boxes_.boxes[0].title, "Lunavio Utility");
        EXPECT_EQ(boxes_.boxes[0].owner, c.owner);
        const TControl* focus = c.owner == BoxOwner::Window
                                    ? static_cast<const TControl*>(&s.w.ComboBox1)
                                    : &s.w.BitBtn4;
        EXPECT_EQ(s.form.focused, focus);
        EXPECT_EQ(FileOf("e"), kFileOfE);
        for (std::size_t i = 0; i < kDriveTableEntries; ++i) {
            EXPECT_TRUE(SameRecord(DriveTable[i], before[i])) << "entry " << i;
        }
    });
}
LUNAVIO_SCENARIOS(SaveRefuses, CheckCase, kChecks);

// --- A drive or the writer that refuses the new file -----------------------------------

enum class DriveOfE { Folder, ReadOnlyMount, FullMount };
struct FailureCase {
    const char* name;
    DriveOfE drive;
    std::optional<platform::ReplaceStep> failingStep; // injected with its system error
    int error;
    std::function<void(Session&)> steps;
    WriteOutcome outcome;
    std::string message;
    const char* title;
};
void MarkBeta(Session& s) {
    s.MarkPrivate(u"BETA");
}
std::string SaveFailedBecause(const std::string& cause) {
    return "Could not save to MEDIA (E:\\). " + cause + " Its settings were not changed.";
}
const FailureCase kFailures[] = {
    {"disk_full", DriveOfE::Folder, platform::ReplaceStep::Write, ENOSPC, MarkBeta,
     WriteOutcome::Failed, SaveFailedBecause("The drive is full."), "Lunavio Utility"},
    {"read_only", DriveOfE::Folder, platform::ReplaceStep::Create, EROFS, MarkBeta,
     WriteOutcome::Failed, SaveFailedBecause("The drive is write-protected or read-only."),
     "Lunavio Utility"},
    {"drive_gone_while_flushing", DriveOfE::Folder, platform::ReplaceStep::Flush, EIO, MarkBeta,
     WriteOutcome::Failed, SaveFailedBecause("The drive was removed or does not respond."),
     "Lunavio Utility"},
    {"no_permission", DriveOfE::Folder, platform::ReplaceStep::Create, EACCES, MarkBeta,
     WriteOutcome::Failed,
     SaveFailedBecause("You do not have permission to change MPlay.sys on this drive."),
     "Lunavio Utility"},
    {"another_error_while_replacing", DriveOfE::Folder, platform::ReplaceStep::Replace, EMFILE,
     MarkBeta, WriteOutcome::Failed,
     SaveFailedBecause("Replacing the old file failed: Too many open files."), "Lunavio Utility"},
    // Root writes into read-only folders; a read-only mount stops it.
    {"read_only_mount", DriveOfE::ReadOnlyMount, std::nullopt, 0, MarkBeta, WriteOutcome::Failed,
     SaveFailedBecause("The drive is write-protected or read-only."), "Lunavio Utility"},
    {"full_memory_drive", DriveOfE::FullMount, std::nullopt, 0, MarkBeta, WriteOutcome::Failed,
     SaveFailedBecause("The drive is full."), "Lunavio Utility"},
    {"a_private_name_of_31_units", DriveOfE::Folder, std::nullopt, 0,
     [](Session& s) { s.AddRows({Row(u"A_NAME_OF_THIRTY_ONE_UNITS_LONG", 2)}); },
     WriteOutcome::Refused, "Folders to be protected cannot more than 30 characters.",
     "Tessaro Tool"},
    {"seventeen_private_rows", DriveOfE::Folder, std::nullopt, 0,
     [](Session& s) { s.ShowRows(Rows(u"PRIVATE_", 17, 2)); }, WriteOutcome::Refused,
     "Cannot protect more than 16 folders.", "Lunavio Utility"},
};
using SaveKeepsTheOldFile = Scenarios<FailureCase>;

TEST_P(SaveKeepsTheOldFile, AndSaysWhyWhenItCannotWrite) {
    const FailureCase& c = GetParam();
    const char* folder = "e";
    if (c.drive == DriveOfE::ReadOnlyMount) {
        folder = "readonly";
        if (!Mount(folder, {"--bind", machine_.Folder("e").string()}) ||
            !RunProgram("mount", {"-o", "remount,bind,ro", machine_.Folder(folder).string()})) {
            GTEST_SKIP() << "no read-only bind mounts on this machine";
        }
    } else if (c.drive == DriveOfE::FullMount) {
        folder = "full";
        if (!Mount(folder, {"-t", "tmpfs", "-o", "size=64k", "tmpfs"})) {
            GTEST_SKIP() << "no tmpfs mounts on this machine";
        }
        std::filesystem::create_directory(machine_.Folder(folder) / "BETA");
        lunavio_test::WriteFile(machine_.Folder(folder) / "MPlay.sys",
                                {reinterpret_cast<const char*>(kFileOfE.data()), kFileOfE.size()});
        std::ofstream filler(machine_.Folder(folder) / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
               filler.flush()) {
        }
    }
    machine_.Plug({DeviceDriveLine('E', folder, "MEDIA", "FAT32"), kDriveF});
    Run([&](Session& s) {
        s.form.TypePassword("5555");
        c.steps(s);
        const std::map<std::string, std::string> files = FilesIn(machine_.Folder(folder));
        const DriveProtection record = DriveTable[0];
        const std::vector<int> states = s.States();
        platform::FailReplaceStepForTesting(c.failingStep, c.error);

        EXPECT_EQ(s.w.BitBtn4Click(), c.outcome);

        platform::FailReplaceStepForTesting(std::nullopt);
        EXPECT_EQ(FilesIn(machine_.Folder(folder)), files);
        EXPECT_EQ(FileOf(folder), kFileOfE);
        EXPECT_THAT(boxes_.Texts(), ElementsAre(c.message));
        EXPECT_EQ(boxes_.boxes.at(0).title, c.title);
        EXPECT_EQ(boxes_.boxes.at(0).owner,
                  c.outcome == WriteOutcome::Failed ? BoxOwner::Window : BoxOwner::None);
        EXPECT_TRUE(SameRecord(DriveTable[0], record));
        EXPECT_EQ(s.States(), states);
        EXPECT_EQ(s.w.MaskEdit1.Text(), "5555");
    });
}
LUNAVIO_SCENARIOS(SaveKeepsTheOldFile, FailureCase, kFailures);

// --- The wait state follows the chosen drive -------------------------------------------

// Folder g again, as D: discovery gives the drives in letter order.
const std::string kBackupD = DeviceDriveLine('D', "g", "BACKUP", "NTFS");

struct WaitStateCase {
    const char* name;
    std::vector<std::string> plugged;
    std::function<void(Session&)> steps;
    const char* waitState;
    const char* folder;
};
const WaitStateCase kWaitStates[] = {
    {"after_start_up", {kDriveE, kDriveF}, [](Session&) {}, "3", "e"},
    {"after_start_up_on_a_drive_without_a_file", {kBackupD, kDriveE}, [](Session&) {}, "0", "g"},
    {"after_choosing_another_drive",
     {kDriveE, kDriveF},
     [](Session& s) { s.form.ChooseEntry(1); },
     "7",
     "f"},
    {"after_choosing_the_first_again",
     {kDriveE, kDriveF},
     [](Session& s) {
         s.form.ChooseEntry(1);
         s.form.ChooseEntry(0);
     },
     "3",
     "e"},
    {"after_a_refresh_that_keeps_the_drive",
     {kDriveE, kDriveF},
     [](Session& s) {
         s.form.ChooseEntry(1);
         s.Plug({kBackupD, kDriveE, kDriveF});
         s.Notify();
     },
     "7",
     "f"},
    {"after_a_refresh_that_chooses_another",
     {kDriveE, kDriveF},
     [](Session& s) {
         s.form.ChooseEntry(1);
         s.Plug({kBackupD, kDriveE});
         s.Notify(kDbtDeviceRemoveComplete);
     },
     "0",
     "g"},
};
using WaitState = Scenarios<WaitStateCase>;

TEST_P(WaitState, IsTheChosenDrivesOwnAndSaveWritesItBack) {
    const WaitStateCase& c = GetParam();
    machine_.Plug(c.plugged);
    Run([&](Session& s) {
        c.steps(s);
        EXPECT_EQ(s.w.LabeledEdit1.Text(), c.waitState);
        s.form.Press(s.w.BitBtn4);
        const std::optional<Bytes> file = FileOf(c.folder);
        ASSERT_TRUE(file);
        EXPECT_EQ(std::to_string(file->at(34)), c.waitState);
    });
}
LUNAVIO_SCENARIOS(WaitState, WaitStateCase, kWaitStates);

// --- Choosing in the drive selector ----------------------------------------------------

// What the window shows of a drive as its file and its root hold it.
struct DriveShown {
    char16_t letter;
    const char* label;
    const char* waitState;
    Names listed;
    Names privateRows;
    const char* password;
};
const DriveShown kShowsE{u'E', "MEDIA (E:\\)", "3", kFoldersOfE, {u"ALPHA"}, "1234"};
const DriveShown kShowsF{u'F',        "Local Drive (F:\\)",           "7",
                         kFoldersOfF, {u"A_FOLDER_NAME_OF_25_UNITS"}, "9876"};

struct ChoiceCase {
    const char* name;
    std::function<void(MemoryForm&)> choose;
    int index;
    DriveShown shown; // its label aside
    bool selectionKept;
};
// E as the user left it: BETA marked, 5555 typed.
const DriveShown kEditedE{u'E', "", "3", kFoldersOfE, {u"ALPHA", u"BETA"}, "5555"};
const ChoiceCase kChoices[] = {
    {"another_drive", [](MemoryForm& f) { f.ChooseEntry(1); }, 1, kShowsF, false},
    {"the_same_drive_again", [](MemoryForm& f) { f.ChooseEntry(0); }, 0, kShowsE, false},
    {"typed_text", [](MemoryForm& f) { f.TypeIntoSelector("MEDIA (E:\\)x"); }, -1, kEditedE, true},
    {"no_entry", [](MemoryForm& f) { f.ChooseEntry(-1); }, -1, kEditedE, true},
};
using ChoosingInTheSelector = Scenarios<ChoiceCase>;

TEST_P(ChoosingInTheSelector, RelistsTheChosenEntryAndLeavesTheMarkButtonsAndVolumeIsFat) {
    const ChoiceCase& c = GetParam();
    Run([&](Session& s) {
        ASSERT_TRUE(VolumeIsFat); // E, the first drive, is FAT32
        s.MarkPrivate(u"BETA");
        s.form.TypePassword("5555");
        s.Click(u"GAMMA"); // "Mark as Private" enabled

        c.choose(s.form);

        EXPECT_EQ(s.w.ComboBox1.ItemIndex(), c.index);
        EXPECT_EQ(s.w.CurrentDriveLetter, c.shown.letter);
        EXPECT_EQ(s.w.LabeledEdit1.Text(), c.shown.waitState);
        EXPECT_EQ(s.Listed(), c.shown.listed);
        EXPECT_THAT(s.PrivateRows(), UnorderedElementsAreArray(c.shown.privateRows));
        EXPECT_EQ(s.w.MaskEdit1.Text(), c.shown.password);
        EXPECT_EQ(s.w.ListView1.SelectedRow(), c.selectionKept ? s.RowOf(u"GAMMA") : -1);
        EXPECT_TRUE(s.w.BitBtn1.Enabled());
        EXPECT_TRUE(s.w.BitBtn4.Enabled());
        EXPECT_TRUE(VolumeIsFat);
    });
}
LUNAVIO_SCENARIOS(ChoosingInTheSelector, ChoiceCase, kChoices);

// --- The start-up's filling of the window ----------------------------------------------

struct FillCase {
    const char* name;
    std::vector<char16_t> letters; // the table's entries; 0 is an empty one
    const char* fileSystemOfE;
    std::vector<std::string> entries;
    Names listed; // the first drive's folders
    bool fat;
};
const FillCase kFills[] = {
    {"two_drives_then_an_empty_entry",
     {u'E', u'F', 0},
     "FAT32",
     {"MEDIA (E:\\)", "Local Drive (F:\\)"},
     kFoldersOfE,
     true},
    {"an_empty_second_entry_ends_the_table",
     {u'E', 0, u'F'},
     "FAT32",
     {"MEDIA (E:\\)"},
     kFoldersOfE,
     true},
    {"seven_drives",
     {u'E', u'F', u'G', u'E', u'F', u'G', u'E'},
     "FAT32",
     {"MEDIA (E:\\)", "Local Drive (F:\\)", "BACKUP (G:\\)", "MEDIA (E:\\)", "Local Drive (F:\\)",
      "BACKUP (G:\\)", "MEDIA (E:\\)"},
     kFoldersOfE,
     true},
    {"a_first_drive_on_ntfs_then_fat",
     {u'F', u'E'},
     "FAT32",
     {"Local Drive (F:\\)", "MEDIA (E:\\)"},
     kFoldersOfF,
     false},
    {"fat", {u'E'}, "FAT", {"MEDIA (E:\\)"}, kFoldersOfE, true},
    {"fat16", {u'E'}, "FAT16", {"MEDIA (E:\\)"}, kFoldersOfE, true},
    {"fat_in_lower_case", {u'E'}, "fat32", {"MEDIA (E:\\)"}, kFoldersOfE, true},
    {"fat_in_mixed_case", {u'E'}, "Fat", {"MEDIA (E:\\)"}, kFoldersOfE, true},
    {"exfat", {u'E'}, "exFAT", {"MEDIA (E:\\)"}, kFoldersOfE, false},
    {"a_shorter_name", {u'E'}, "FA", {"MEDIA (E:\\)"}, kFoldersOfE, false},
    {"a_drive_the_machine_does_not_know", {u'Q'}, "FAT32", {"Local Drive (Q:\\)"}, {}, false},
};
using RunSetupWindowFills = Scenarios<FillCase>;

TEST_P(RunSetupWindowFills, TheSelectorFromTheTableListsTheFirstDriveAndRunsTheWindow) {
    const FillCase& c = GetParam();
    machine_.Plug({DeviceDriveLine('E', "e", "MEDIA", c.fileSystemOfE), kDriveF, kDriveG});
    DriveTableArray table{};
    for (std::size_t i = 0; i < c.letters.size(); ++i) {
        table[i].DriveLetter = c.letters[i];
        table[i].WaitState = static_cast<std::uint16_t>(10 + i);
    }
    table[0].Password = 0x0417;
    const std::u16string beta = std::u16string{c.letters[0]} + u":\\BETA";
    std::copy(beta.begin(), beta.end(), table[0].PrivateFolders[0].begin());
    VolumeIsFat = !c.fat;
    TFrmEditProtect window(CreateMemoryForm);
    FrmEditProtect = &window;
    Session s(window, machine_);
    bool shown = false;
    s.form.modalRun = [&] { shown = s.form.shown; };

    EXPECT_EQ(RunSetupWindow(7, table), kModalResultCancel);
    FrmEditProtect = nullptr;

    EXPECT_TRUE(shown);
    std::vector<std::string> entries;
    for (int i = 0; i < window.ComboBox1.Count(); ++i) {
        entries.push_back(window.ComboBox1.Item(i));
    }
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(window.ComboBox1.ItemIndex(), 0);
    EXPECT_EQ(window.ComboBox1.Text(), c.entries[0]);
    EXPECT_EQ(window.CurrentDriveLetter, c.letters[0]);
    EXPECT_EQ(window.LabeledEdit1.Text(), "10");
    EXPECT_EQ(s.Listed(), c.listed);
    const bool hasBeta = std::count(c.listed.begin(), c.listed.end(), u"BETA") != 0;
    EXPECT_EQ(s.PrivateRows(), hasBeta ? Names{u"BETA"} : Names{});
    EXPECT_EQ(window.MaskEdit1.Text(), "0417");
    EXPECT_EQ(VolumeIsFat, c.fat);
    EXPECT_EQ(OsVersionInfo.MajorVersion, platform::OsMajorVersion());
    EXPECT_TRUE(window.BitBtn4.Enabled());
    EXPECT_FALSE(window.BitBtn1.Enabled());
    EXPECT_FALSE(window.BitBtn2.Enabled());
    EXPECT_THAT(boxes_.boxes, IsEmpty());
}
LUNAVIO_SCENARIOS(RunSetupWindowFills, FillCase, kFills);

TEST_F(WindowHandlersTest, RunSetupWindowWithAnEmptyFirstEntryShowsNothing) {
    TFrmEditProtect window(CreateMemoryForm);
    FrmEditProtect = &window;
    bool shown = false;
    MemoryFormOf(window).modalRun = [&] { shown = true; };
    DriveTableArray table{};
    table[1].DriveLetter = u'E';
    EXPECT_EQ(RunSetupWindow(7, table), 0);
    FrmEditProtect = nullptr;
    EXPECT_FALSE(shown);
    EXPECT_EQ(window.ComboBox1.Count(), 0);
    EXPECT_EQ(window.ListView1.RowCount(), 0u);
    EXPECT_EQ(window.CurrentDriveLetter, 0);
}

// --- Exit and errors in handlers -------------------------------------------------------

TEST_F(WindowHandlersTest, ExitEndsTheRunWithCancelAndDropsUnsavedChanges) {
    const int result = Run([&](Session& s) {
        s.MarkPrivate(u"BETA");
        s.form.TypePassword("5555");
        s.form.Press(s.w.BitBtn3);
        EXPECT_EQ(s.form.modalResult, kModalResultCancel);
    });
    EXPECT_EQ(result, 0);
    EXPECT_THAT(boxes_.boxes, IsEmpty());
    EXPECT_EQ(FileOf("e"), kFileOfE);
}

TEST_F(WindowHandlersTest, AnErrorInAHandlerIsShownAndTheWindowGoesOn) {
    Run([&](Session& s) {
        ReportHandlerErrors([] { throw std::runtime_error("Out of memory"); });
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_EQ(boxes_.boxes[0].text, "Out of memory");
        EXPECT_EQ(boxes_.boxes[0].title, kProgramTitle);
        EXPECT_EQ(boxes_.boxes[0].kind, platform::BoxKind::Error);
        s.MarkPrivate(u"BETA");
        EXPECT_EQ(s.PrivateRows().size(), 2u);
    });
}

// --- Device notices --------------------------------------------------------------------

struct NoticeCase {
    const char* name;
    std::uintptr_t code;
    bool refreshes;
};
const NoticeCase kNotices[] = {
    {"arrival", 0x8000, true},          {"removal_complete", 0x8004, true},
    {"devices_changed", 0x0007, false}, {"removal_query", 0x8001, false},
    {"removal_pending", 0x8003, false},
};
using ADeviceNotice = Scenarios<NoticeCase>;

TEST_P(ADeviceNotice, IsAnsweredTrueAndRefreshesOnlyForAnArrivalOrARemoval) {
    const NoticeCase& c = GetParam();
    Run([&](Session& s) {
        s.Plug({kDriveE, kDriveF, kDriveG});
        EXPECT_EQ(s.Notify(c.code), 1);
        EXPECT_EQ(s.w.ComboBox1.Count(), c.refreshes ? 3 : 2);
        EXPECT_THAT(boxes_.boxes, IsEmpty());
    });
}
LUNAVIO_SCENARIOS(ADeviceNotice, NoticeCase, kNotices);

struct RefreshCase {
    const char* name;
    std::function<void(Session&)> before; // the user, before the notices
    std::vector<std::string> after;
    std::vector<std::uintptr_t> notices;
    std::string message; // empty: none
    int count;
    int index;
    DriveShown shown;
};
std::vector<std::string> EightDrives() {
    std::vector<std::string> lines{kDriveE, kDriveF, kDriveG};
    for (const char letter : {'H', 'I', 'J', 'K', 'L'}) {
        lines.push_back(DeviceDriveLine(letter, "g", "", "NTFS"));
    }
    return lines;
}
void ChooseF(Session& s) {
    s.form.ChooseEntry(1);
    s.MarkPrivate(u"MUSIC");
}
void MarkBetaOnE(Session& s) {
    s.MarkPrivate(u"BETA");
}
std::function<void(Session&)> Type(const char* text) {
    return [text](Session& s) { s.form.TypeIntoSelector(text); };
}
const RefreshCase kRefreshes[] = {
    {"another_volume_comes_and_the_chosen_drive_moves",
     ChooseF,
     {kBackupD, kDriveE, kDriveF},
     {kDbtDeviceArrival},
     "",
     3,
     2,
     kShowsF},
    {"another_volume_comes_while_the_first_is_chosen",
     MarkBetaOnE,
     {kDriveE, kDriveF, kDriveG},
     {kDbtDeviceArrival},
     "",
     3,
     0,
     kShowsE},
    {"three_notices_for_one_device",
     ChooseF,
     {kDriveE, kDriveF, kDriveG},
     {kDbtDeviceArrival, kDbtDeviceArrival, kDbtDeviceArrival},
     "",
     3,
     1,
     kShowsF},
    {"another_drive_goes", MarkBetaOnE, {kDriveE}, {kDbtDeviceRemoveComplete}, "", 1, 0, kShowsE},
    {"the_chosen_drive_goes",
     ChooseF,
     {kDriveE},
     {kDbtDeviceRemoveComplete},
     kFNotFound,
     1,
     0,
     kShowsE},
    {"the_chosen_drive_is_relabelled",
     MarkBetaOnE,
     {DeviceDriveLine('E', "e", "FILMS", "FAT32"), kDriveF},
     {kDbtDeviceArrival},
     "MEDIA (E:\\) is not found. Change the current drive to FILMS (E:\\)",
     2,
     0,
     [] {
         DriveShown films = kShowsE;
         films.label = "FILMS (E:\\)";
         return films;
     }()},
    {"eight_drives_give_seven_entries",
     MarkBetaOnE,
     EightDrives(),
     {kDbtDeviceArrival},
     "",
     7,
     0,
     kShowsE},
    {"typed_text_of_an_entry",
     Type("Local Drive (F:\\)"),
     {kDriveE, kDriveF},
     {kDbtDeviceArrival},
     "",
     2,
     1,
     kShowsF},
    {"typed_text_of_an_entry_in_another_case",
     Type("local drive (f:\\)"),
     {kDriveE, kDriveF},
     {kDbtDeviceArrival},
     "",
     2,
     0,
     kShowsE},
    {"typed_text_of_no_entry",
     Type("ELSEWHERE"),
     {kDriveE, kDriveF},
     {kDbtDeviceArrival},
     "",
     2,
     0,
     kShowsE},
};
using ARefresh = Scenarios<RefreshCase>;

// Marks and a typed password that were not saved give way to what the drive holds; the mark
// buttons are left alone.
TEST_P(ARefresh, KeepsTheChosenDriveWhileItsLabelIsListedElseChoosesTheFirstWithAMessage) {
    const RefreshCase& c = GetParam();
    Run([&](Session& s) {
        c.before(s);
        s.form.TypePassword("5555");
        s.w.BitBtn1.SetEnabled(false);
        s.w.BitBtn2.SetEnabled(true);
        s.Plug(c.after);
        for (const std::uintptr_t code : c.notices) {
            s.Notify(code);
        }

        if (c.message.empty()) {
            EXPECT_THAT(boxes_.boxes, IsEmpty());
        } else {
            EXPECT_THAT(boxes_.Texts(), ElementsAre(c.message));
            EXPECT_EQ(boxes_.boxes.at(0).title, "Private folder setup Ver.1.01");
            EXPECT_EQ(boxes_.boxes.at(0).owner, BoxOwner::Window);
        }
        EXPECT_EQ(s.w.ComboBox1.Count(), c.count);
        EXPECT_EQ(s.w.ComboBox1.ItemIndex(), c.index);
        EXPECT_EQ(s.w.ComboBox1.Text(), c.shown.label);
        EXPECT_EQ(s.w.CurrentDriveLetter, c.shown.letter);
        EXPECT_EQ(s.w.LabeledEdit1.Text(), c.shown.waitState);
        EXPECT_EQ(s.Listed(), c.shown.listed);
        EXPECT_EQ(s.PrivateRows(), c.shown.privateRows);
        EXPECT_EQ(s.w.MaskEdit1.Text(), c.shown.password);
        EXPECT_TRUE(s.w.BitBtn4.Enabled());
        EXPECT_FALSE(s.w.BitBtn1.Enabled());
        EXPECT_TRUE(s.w.BitBtn2.Enabled());
        ExpectTableMatchesTheDrives(static_cast<std::size_t>(c.count));
    });
}
LUNAVIO_SCENARIOS(ARefresh, RefreshCase, kRefreshes);

// --- A notice while a box is open ------------------------------------------------------

// The box's own code resumes after a whole refresh ran inside it, and must not act on a drive
// or an entry that has gone.
struct NestedCase {
    const char* name;
    std::function<void(Session&)> openBox; // with drive F chosen
    std::vector<std::string> whileOpen;    // plugged, then a notice, while the box is open
    std::vector<std::string> boxes;
    int count;
    int index;
    char16_t letter;
    std::size_t rows;
};
void PullF(Session& s) {
    s.Plug({kDriveE});
    s.Notify(kDbtDeviceRemoveComplete);
}
void SaveF(Session& s) {
    s.form.Press(s.w.BitBtn4);
}
const NestedCase kNested[] = {
    {"refresh_message_then_everything_pulled", PullF, {}, {kFNotFound}, 0, -1, u'F', 0},
    {"refresh_message_then_another_drive_plugged",
     PullF,
     {kDriveE, kDriveG},
     {kFNotFound},
     2,
     0,
     u'E',
     3},
    {"refresh_message_then_the_drive_plugged_back",
     PullF,
     {kDriveE, kDriveF},
     {kFNotFound},
     2,
     1,
     u'F',
     4},
    {"limit_message",
     [](Session& s) {
         s.AddRows(Rows(u"PRIVATE_", 15, 2));
         s.MarkPrivate(u"MUSIC");
     },
     {kDriveE, kDriveG},
     {"Lunavio cannot protect more than 16 folders", kFNotFound},
     2,
     0,
     u'E',
     3},
    {"password_message",
     [](Session& s) {
         s.form.TypePassword("12");
         SaveF(s);
     },
     {kDriveE, kDriveG},
     {kPasswordRange, kFNotFound},
     2,
     0,
     u'E',
     3},
    {"drive_choice_message",
     [](Session& s) {
         s.form.TypeIntoSelector("X");
         SaveF(s);
     },
     {kDriveE, kDriveG},
     {kChooseDrive}, // no drive was chosen, so the refresh has nothing to say
     2,
     0,
     u'E',
     3},
    {"writers_refusal",
     [](Session& s) {
         s.AddRows({Row(u"A_NAME_OF_THIRTY_ONE_UNITS_LONG", 2)});
         SaveF(s);
     },
     {kDriveE, kDriveG},
     {"Folders to be protected cannot more than 30 characters.", kFNotFound},
     2,
     0,
     u'E',
     3},
    {"save_failure",
     [](Session& s) {
         platform::FailReplaceStepForTesting(platform::ReplaceStep::Write, ENOSPC);
         SaveF(s);
     },
     {kDriveE, kDriveG},
     {"Could not save to Local Drive (F:\\). The drive is full. Its settings were not changed.",
      kFNotFound},
     2,
     0,
     u'E',
     3},
    {"save_success",
     SaveF,
     {kDriveE, kDriveG},
     {"Save to Local Drive (F:\\) OK!", kFNotFound},
     2,
     0,
     u'E',
     3},
};
using ANoticeWhileABoxIsOpen = Scenarios<NestedCase>;

TEST_P(ANoticeWhileABoxIsOpen, RefreshesAtOnceAndLeavesTheNewerState) {
    const NestedCase& c = GetParam();
    Run([&](Session& s) {
        s.form.ChooseEntry(1);
        boxes_.whileOpen = [&] {
            s.Plug(c.whileOpen);
            s.Notify();
        };
        c.openBox(s);

        EXPECT_EQ(boxes_.Texts(), c.boxes);
        EXPECT_EQ(s.w.ComboBox1.Count(), c.count);
        EXPECT_EQ(s.w.ComboBox1.ItemIndex(), c.index);
        EXPECT_EQ(s.w.CurrentDriveLetter, c.letter);
        EXPECT_EQ(s.w.ListView1.RowCount(), c.rows);
        EXPECT_EQ(s.w.BitBtn4.Enabled(), c.count != 0);
        ExpectTableMatchesTheDrives(static_cast<std::size_t>(c.count));
        EXPECT_EQ(FileOf("f"), kFileOfF);
    });
}
LUNAVIO_SCENARIOS(ANoticeWhileABoxIsOpen, NestedCase, kNested);

// --- The no-drive state and back -------------------------------------------------------

struct NoDriveCase {
    const char* name;
    std::vector<std::string> plugged; // at start-up
    bool modelListGone;
    std::function<void(Session&)> enter; // in the window; nothing when it opens without drives
    std::string hint;                    // with <list> for the model list's path
    char16_t letter;                     // CurrentDriveLetter, kept
    const char* password;                // kept
    const char* waitState;               // kept
    bool markPrivate;                    // "Mark as Private", kept
    bool fat;                            // VolumeIsFat, as the start-up left it
};
const std::string kNoSupportedDisk = "No supported disk is among the mounted volumes; run "
                                     "\"private-folders drives\" for details.";
const NoDriveCase kNoDrives[] = {
    {"start_up_with_a_disk_of_another_model",
     {"E\te\tUSB\\VID_9999&PID_9999\\1\n"},
     false,
     [](Session&) {},
     kNoSupportedDisk,
     0,
     "",
     "",
     false,
     false},
    {"start_up_without_a_model_list",
     {kDriveE},
     true,
     [](Session&) {},
     "No model list was found (looked for <list>); run \"private-folders drives\" for details.",
     0,
     "",
     "",
     false,
     false},
    {"the_device_pulled_out",
     {kDriveE, kDriveF},
     false,
     [](Session& s) {
         s.form.ChooseEntry(1);
         s.form.TypePassword("5555");
         s.Click(u"MUSIC");
         s.Plug({});
         s.Notify(kDbtDeviceRemoveComplete);
     },
     kNoSupportedDisk,
     u'F',
     "5555",
     "7",
     true,
     true},
};
using TheNoDriveState = Scenarios<NoDriveCase>;

TEST_P(TheNoDriveState, SaysWhyKeepsTheRestAndEndsWhenADriveArrives) {
    const NoDriveCase& c = GetParam();
    const std::filesystem::path modelList = machine_.ModelList();
    const std::filesystem::path away = modelList.string() + ".away";
    if (c.modelListGone) {
        std::filesystem::rename(modelList, away);
    }
    machine_.Plug(c.plugged);
    std::string hint = c.hint;
    if (const auto at = hint.find("<list>"); at != std::string::npos) {
        hint.replace(at, 6, modelList.string());
    }
    Run([&](Session& s) {
        c.enter(s);
        EXPECT_EQ(s.w.ComboBox1.Count(), 0);
        EXPECT_EQ(s.w.ComboBox1.ItemIndex(), -1);
        EXPECT_EQ(s.w.ComboBox1.Text(), " --- No avaliable drive ---");
        EXPECT_EQ(s.form.Selector().Hint(), hint);
        EXPECT_EQ(s.w.ListView1.RowCount(), 0u);
        EXPECT_FALSE(s.w.BitBtn4.Enabled());
        EXPECT_EQ(s.w.BitBtn1.Enabled(), c.markPrivate);
        EXPECT_EQ(s.w.CurrentDriveLetter, c.letter);
        EXPECT_EQ(s.w.MaskEdit1.Text(), c.password);
        EXPECT_EQ(s.w.LabeledEdit1.Text(), c.waitState);
        ExpectTableMatchesTheDrives(0);

        // The first drive that arrives is chosen without a message.
        if (c.modelListGone) {
            std::filesystem::rename(away, modelList);
        }
        s.Plug({kDriveG});
        s.Notify();
        EXPECT_THAT(boxes_.boxes, IsEmpty());
        EXPECT_EQ(s.w.ComboBox1.Text(), "BACKUP (G:\\)");
        EXPECT_EQ(s.w.ComboBox1.ItemIndex(), 0);
        EXPECT_EQ(s.form.Selector().Hint(), "");
        EXPECT_EQ(s.w.CurrentDriveLetter, u'G');
        EXPECT_EQ(s.w.LabeledEdit1.Text(), "0");
        EXPECT_EQ(s.Listed(), Names{u"ARCHIVE"});
        EXPECT_EQ(s.w.MaskEdit1.Text(), "0000");
        EXPECT_TRUE(s.w.BitBtn4.Enabled());
        EXPECT_EQ(OsVersionInfo.MajorVersion, platform::OsMajorVersion());
        EXPECT_EQ(VolumeIsFat, c.fat); // only the start-up sets it
    });
}
LUNAVIO_SCENARIOS(TheNoDriveState, NoDriveCase, kNoDrives);

} // namespace
