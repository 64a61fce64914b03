// The program as a user meets it: started on a copy of the demo device under an X server with
// a window manager, driven with real mouse clicks and keys through xdotool. LUNAVIO_PROGRAM
// names the program to run when it is not the one beside this test, e.g. an installed one.

#include "ProtectionFileFixtures.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWaitMs = 30000; // the program under AddressSanitizer starts slowly
const QString kCaption = QStringLiteral("Private folder setup Ver.1.01");

using lunavio_test::Bytes;
using lunavio_test::ReadBytes;

using lunavio_test::ProtectionFileBytes;

QString Program() {
    const QString named = qEnvironmentVariable("LUNAVIO_PROGRAM");
    return named.isEmpty() ? QCoreApplication::applicationDirPath() + "/private-folder-setup"
                           : named;
}

bool CopyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + '/' + entry.fileName();
        if (entry.isDir() ? !CopyTree(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

// Runs program with args; its standard output, or nullopt when it failed or timed out.
std::optional<QString> RunTool(const QString& program, const QStringList& args,
                               int timeoutMs = 10000) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

std::optional<QString> Xdo(const QStringList& args, int timeoutMs = 10000) {
    return RunTool(QStringLiteral("xdotool"), args, timeoutMs);
}

// The visible windows whose title is exactly title.
std::vector<QString> WindowsNamed(const QString& title) {
    const auto found =
        Xdo({"search", "--onlyvisible", "--name", '^' + QRegularExpression::escape(title) + '$'});
    if (!found || found->isEmpty()) {
        return {};
    }
    const QStringList ids = found->split('\n');
    return {ids.begin(), ids.end()};
}

bool IsShown(const QString& title, const QString& id) {
    const std::vector<QString> shown = WindowsNamed(title);
    return std::find(shown.begin(), shown.end(), id) != shown.end();
}

// Polls until a visible window titled title, other than except, appears; bounded.
std::optional<QString> AwaitWindow(const QString& title, const QString& except) {
    const QDeadlineTimer deadline(kWaitMs);
    do {
        for (const QString& id : WindowsNamed(title)) {
            if (id != except) {
                return id;
            }
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

class EndToEndTest : public ::testing::Test {
protected:
    // The command line the program is started with.
    virtual QStringList Arguments() const { return {}; }

    void SetUp() override {
        device_ = work_.filePath("device");
        ASSERT_TRUE(CopyTree(LUNAVIO_DEMO_DIR, device_));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LUNAVIO_SIMULATION", device_ + "/lunavio.sim");
        environment.insert("LUNAVIO_REGISTRY", device_ + "/hkcu.reg");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        program_.setProcessEnvironment(environment);
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        // On a machine shared with other X servers, a start can now and then fail to reach the
        // display; a program that ends before its window shows is started again.
        for (int attempt = 0; attempt < 3 && window_.isEmpty(); ++attempt) {
            program_.start(Program(), Arguments());
            ASSERT_TRUE(program_.waitForStarted(kWaitMs));
            const QDeadlineTimer deadline(kWaitMs);
            while (window_.isEmpty() && !deadline.hasExpired() && !program_.waitForFinished(50)) {
                const std::vector<QString> shown = WindowsNamed(kCaption);
                window_ = shown.empty() ? QString() : shown.front();
            }
            if (program_.state() != QProcess::NotRunning) {
                break; // running without a window: no second program beside it
            }
        }
        ASSERT_FALSE(window_.isEmpty()) << "the window did not appear";
    }

    // Clicks at a point of the window's client area.
    void Click(int x, int y) {
        ASSERT_TRUE(Xdo({"mousemove", "--window", window_, QString::number(x), QString::number(y),
                         "click", "1"}));
    }
    // Controls by their layout position, clicked at their centre.
    void ClickSave() { Click(331 + 37, 367 + 12); }
    void ClickExit() { Click(443 + 37, 367 + 12); }
    void ClickPassword() { Click(177 + 30, 311 + 10); }
    // Below the demo drive's four rows: focuses the list and selects nothing.
    void ClickListBelowTheRows() { Click(43 + 100, 56 + 236 - 8); }

    // Keys go to the focused window; the pointer rests on window meanwhile.
    void Keys(const QString& window, const QStringList& keys) {
        ASSERT_TRUE(Xdo(QStringList{"mousemove", "--window", window, "20", "20"} + keys));
    }

    // Waits for the box titled title and closes it with Return.
    void ConfirmBox(const QString& title) {
        const auto box = AwaitWindow(title, window_);
        ASSERT_TRUE(box) << "no box " << title.toStdString();
        Keys(*box, {"key", "Return"});
        const QDeadlineTimer deadline(kWaitMs);
        while (IsShown(title, *box) && !deadline.hasExpired()) {
            QThread::msleep(50);
        }
        ASSERT_FALSE(IsShown(title, *box)) << "the box stayed open";
    }

    void PlugOnly(const std::set<char>& letters) {
        QFile original(device_ + "/lunavio.sim");
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        QByteArray kept;
        for (const QByteArray& line : original.readAll().split('\n')) {
            if (line.startsWith('#') || (!line.isEmpty() && letters.count(line[0]))) {
                kept += line + '\n';
            }
        }
        QSaveFile file(device_ + "/lunavio.sim");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kept);
        ASSERT_TRUE(file.commit());
    }

    // Whether one of the program's windows is a tooltip.
    bool ShowsATooltip() {
        const auto shown =
            Xdo({"search", "--onlyvisible", "--pid", QString::number(program_.processId())});
        for (const QString& id : shown.value_or(QString()).split('\n', Qt::SkipEmptyParts)) {
            if (RunTool("xprop", {"-id", id, "_NET_WM_WINDOW_TYPE"})
                    .value_or(QString())
                    .contains("_NET_WM_WINDOW_TYPE_TOOLTIP")) {
                return true;
            }
        }
        return false;
    }

    // Rests the pointer on the drive selector until it shows a tooltip, which it does only
    // for a label it cuts and, in the no-drive state, for why no drive was found; bounded.
    bool AwaitSelectorTooltip() {
        const QDeadlineTimer deadline(kWaitMs);
        for (int nudge = 0; !deadline.hasExpired(); nudge ^= 1) {
            // A tooltip comes after the pointer has rested a while; each move starts anew.
            if (!Xdo({"mousemove", "--window", window_, QString::number(150 + nudge), "378"})) {
                return false;
            }
            const QDeadlineTimer rest(1500);
            while (!rest.hasExpired()) {
                if (ShowsATooltip()) {
                    return true;
                }
                QThread::msleep(100);
            }
        }
        return false;
    }

    // Saves, confirms the outcome and ends the program.
    void SaveAndExit() {
        ClickSave();
        ConfirmBox("Lunavio Utility");
        ASSERT_TRUE(ExitProgram());
    }

    // Ends the program with "Exit"; true when it ended by itself with 0.
    bool ExitProgram() {
        ClickExit();
        return program_.waitForFinished(kWaitMs) && program_.exitStatus() == QProcess::NormalExit &&
               program_.exitCode() == 0;
    }

    QString DrivePath(const char* drive, const char* file) const {
        return device_ + "/drives/" + drive + '/' + file;
    }

    // Those of names (ASCII) that are folders of drive E, in the order the list shows them:
    // the root's own order.
    std::vector<std::u16string> FoldersOfE(const std::set<std::string>& names) const {
        std::vector<std::u16string> folders;
        for (const auto& entry :
             std::filesystem::directory_iterator(DrivePath("E", "").toStdString())) {
            const std::string name = entry.path().filename().string();
            if (entry.is_directory() && names.count(name)) {
                folders.push_back(std::u16string(name.begin(), name.end()));
            }
        }
        EXPECT_EQ(folders.size(), names.size());
        return folders;
    }

    QTemporaryDir work_;
    QString device_;
    QProcess program_;
    QString window_;
};

TEST_F(EndToEndTest, MarkingAFolderAndSavingWritesTheFileTheTelevisionReads) {
    // Every row is clicked and "Mark as Private" pressed after each: only MUSIC, the one
    // public row short enough to be marked, enables it.
    QStringList sweep;
    for (int y = 60; y < 56 + 236; y += 8) {
        sweep << "mousemove"
              << "--window" << window_ << "100" << QString::number(y) << "click"
              << "1"
              << "mousemove"
              << "--window" << window_ << "470"
              << "92"
              << "click"
              << "1";
    }
    ASSERT_TRUE(Xdo(sweep, kWaitMs));
    ClickPassword();
    Keys(window_, {"key", "Home", "type", "1357"});
    SaveAndExit();

    EXPECT_EQ(ReadBytes(DrivePath("E", "MPlay.sys").toStdString()),
              ProtectionFileBytes(FoldersOfE({"PHOTOS", "Movies", "MUSIC"}), 0x1357, 3));
}

TEST_F(EndToEndTest, IsAnOrdinaryTopLevelWindowOfFixedSizeWithOnlyACloseBox) {
    const auto properties = RunTool("xprop", {"-id", window_});
    ASSERT_TRUE(properties);
    EXPECT_TRUE(properties->contains(
        QRegularExpression("_NET_WM_WINDOW_TYPE\\(ATOM\\) = _NET_WM_WINDOW_TYPE_(NORMAL|DIALOG)")))
        << properties->toStdString();
    EXPECT_FALSE(properties->contains("_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_FALSE(properties->contains("_NET_WM_STATE_SKIP_PAGER"));
    EXPECT_FALSE(properties->contains("WM_TRANSIENT_FOR"));
    EXPECT_TRUE(properties->contains("program specified minimum size: 565 by 404"));
    EXPECT_TRUE(properties->contains("program specified maximum size: 565 by 404"));
    EXPECT_TRUE(properties->contains("WM_NAME(UTF8_STRING) = \"" + kCaption + '"'));

    // The frame offers moving and closing, neither minimising nor maximising.
    const QRegularExpressionMatch motif =
        QRegularExpression("_MOTIF_WM_HINTS\\(_MOTIF_WM_HINTS\\) = (0x[0-9a-f]+), (0x[0-9a-f]+), "
                           "(0x[0-9a-f]+)")
            .match(*properties);
    ASSERT_TRUE(motif.hasMatch());
    const unsigned functions = motif.captured(2).toUInt(nullptr, 16);
    const unsigned decorations = motif.captured(3).toUInt(nullptr, 16);
    constexpr unsigned kFunctionMinimize = 0x8, kFunctionMaximize = 0x10, kFunctionClose = 0x20;
    constexpr unsigned kDecorMinimize = 0x20, kDecorMaximize = 0x40;
    EXPECT_EQ(functions & (kFunctionMinimize | kFunctionMaximize), 0u);
    EXPECT_NE(functions & kFunctionClose, 0u);
    EXPECT_EQ(decorations & (kDecorMinimize | kDecorMaximize), 0u);

    const auto geometry = RunTool("xwininfo", {"-id", window_});
    ASSERT_TRUE(geometry);
    EXPECT_TRUE(geometry->contains("Width: 565") && geometry->contains("Height: 404"))
        << geometry->toStdString();
    EXPECT_TRUE(ExitProgram());
}

TEST_F(EndToEndTest, ARefusedLeaveSwallowsTheClickAndEscapeBringsBackTheStoredPassword) {
    // The program holds E's settings; an empty file shows whether and what it saves.
    ASSERT_TRUE(QFile::resize(DrivePath("E", "MPlay.sys"), 0));
    ClickPassword();
    Keys(window_, {"key", "End", "BackSpace", "BackSpace"}); // "2580" becomes "25"
    // Press and release reach the program together, as those of a touchpad tap do.
    const QString program = QString::number(program_.processId());
    ASSERT_TRUE(RunTool("kill", {"-STOP", program}));
    ClickSave();
    ASSERT_TRUE(RunTool("kill", {"-CONT", program}));
    ConfirmBox("Private folder setup");

    // Had the swallowed click saved, its box would take the place of this Save's (and block
    // "Exit"), and the file would not hold what this one writes.
    Keys(window_, {"key", "Escape"});
    SaveAndExit();
    EXPECT_EQ(ReadBytes(DrivePath("E", "MPlay.sys").toStdString()),
              ProtectionFileBytes(FoldersOfE({"PHOTOS", "Movies"}), 0x2580, 3));
}

TEST_F(EndToEndTest, TheFolderListsMenuMarksFromTheKeyboard) {
    ClickListBelowTheRows();
    // The first key only makes a row current. The last row, MUSIC, is public: its menu's
    // first enabled item is "Mark as Private".
    Keys(window_, {"key", "Home", "End", "Menu", "Down", "Return"});
    // The second row, Movies, is private: "Mark as Public" is the only enabled item.
    Keys(window_, {"key", "Home", "Down", "shift+F10", "Down", "Return"});
    SaveAndExit();
    EXPECT_EQ(ReadBytes(DrivePath("E", "MPlay.sys").toStdString()),
              ProtectionFileBytes(FoldersOfE({"PHOTOS", "MUSIC"}), 0x2580, 3));
}

// The program's own libraries come from its own tree (the build folder, or the tree it was
// installed into), not from wherever else a copy lies.
TEST_F(EndToEndTest, TheProgramRunsOnTheLibrariesOfItsOwnTree) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program_.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    std::set<QString> mapped;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString file = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        if (file.endsWith("/liblunavio_platform.so") || file.endsWith("/libDeviceInfo.so")) {
            mapped.insert(file);
        }
    }
    const QString tree = QFileInfo(QFileInfo(Program()).canonicalPath()).path() + '/';
    ASSERT_EQ(mapped.size(), 2u) << "the platform and the device library, each once";
    for (const QString& file : mapped) {
        EXPECT_TRUE(file.startsWith(tree))
            << file.toStdString() << " lies outside " << tree.toStdString();
    }
    EXPECT_TRUE(ExitProgram());
}

TEST_F(EndToEndTest, TheWindowFollowsTheDriveThatGoesAndKeepsRunningWithoutDrives) {
    PlugOnly({'F'});      // E, the chosen drive, is pulled
    ConfirmBox(kCaption); // "MEDIA (E:\) is not found. Change the current drive to ..."

    // F is chosen now: saving writes F's file with F's own (empty) settings.
    ClickSave();
    ConfirmBox("Lunavio Utility");
    EXPECT_EQ(ReadBytes(DrivePath("F", "MPlay.sys").toStdString()), ProtectionFileBytes({}, 0, 0));
    EXPECT_EQ(ReadBytes(DrivePath("E", "MPlay.sys").toStdString()),
              ReadBytes(LUNAVIO_DEMO_DIR "/drives/E/MPlay.sys"));

    PlugOnly({}); // the device is pulled: the no-drive state, "Save" disabled
    ASSERT_TRUE(AwaitSelectorTooltip()) << "no reason shown for the missing drives";
    ClickSave();
    // A box from "Save" would block "Exit".
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_TRUE(ExitProgram());
}

// Qt's own options are no exception to the program ignoring its command line: a platform that
// does not exist, a style sheet that cannot be read and a mirrored layout change nothing.
class EndToEndWithArgumentsTest : public EndToEndTest {
protected:
    QStringList Arguments() const override {
        return {"-platform", "bogus", "-stylesheet", "/nonexistent.qss", "-reverse", "E:"};
    }
};

TEST_F(EndToEndWithArgumentsTest, TheProgramIgnoresItsCommandLine) {
    ClickSave(); // the buttons are where they always are
    ConfirmBox("Lunavio Utility");
    EXPECT_TRUE(ExitProgram());
}

} // namespace

// A private X server with a window manager for the whole run. -displayfd lets the server pick
// a free display and tell it, so runs side by side never share or race for one.
class XServer : public ::testing::Environment {
public:
    void SetUp() override {
        server_.setProcessChannelMode(QProcess::SeparateChannels);
        server_.start(QStringLiteral("Xvfb"),
                      {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        ASSERT_TRUE(server_.waitForStarted(kWaitMs)) << "Xvfb did not start";
        QByteArray display;
        const QDeadlineTimer deadline(kWaitMs);
        while (!display.contains('\n') && !deadline.hasExpired() &&
               server_.state() == QProcess::Running) {
            server_.waitForReadyRead(100);
            display += server_.readAllStandardOutput();
        }
        ASSERT_TRUE(display.contains('\n')) << "Xvfb named no display";
        qputenv("DISPLAY", ":" + display.trimmed());

        manager_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        manager_.start(QStringLiteral("openbox"), {"--sm-disable"});
        ASSERT_TRUE(manager_.waitForStarted(kWaitMs)) << "openbox did not start";
        // A window manager announces itself on the root window once it manages the screen.
        const QDeadlineTimer managing(kWaitMs);
        while (
            !RunTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).value_or("").contains('#') &&
            !managing.hasExpired()) {
            ASSERT_EQ(manager_.state(), QProcess::Running)
                << "openbox ended with " << manager_.exitCode();
            QThread::msleep(50);
        }
        ASSERT_FALSE(managing.hasExpired()) << "openbox manages no screen";
    }
    void TearDown() override {
        manager_.terminate();
        manager_.waitForFinished(kWaitMs);
        server_.terminate();
        server_.waitForFinished(kWaitMs);
    }

private:
    QProcess server_;
    QProcess manager_;
};

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XServer); // owned by GoogleTest
    return RUN_ALL_TESTS();
}
