// The main window: control states, the buttons that steer a job, questions, the rule list, the
// unattended run and a whole check-and-tag job on a temporary library.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "engine/logtexts.h"
#include "settings/commandline.h"
#include "settings/options.h"
#include "tests/support/golden.h"
#include "tests/support/releasefixture.h"
#include "ui/ckestrowdlg.h"
#include "ui/cmdclist.h"
#include "ui/ctempfiledlg.h"

namespace kestrow {

using Ctl = CKestrowDlg::Ctl;
namespace fs = std::filesystem;

namespace {

// The names in a folder that start with the prefix.
std::vector<std::string> Starting(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix, 0) == 0) out.push_back(name);
    }
    return out;
}

QAbstractButton* Button(CKestrowDlg& w, Ctl c) {
    return static_cast<QAbstractButton*>(w.control(c));
}

// The options with "Key=value" words of the settings file applied.
ProcessOptions With(ProcessOptions o, const std::string& overrides) {
    CSettingsFile file;
    WriteOptions(file, o);
    for (const std::string& word : test::Words(overrides)) {
        const std::size_t eq = word.find('=');
        file.WriteString(word.substr(eq + 1), word.substr(0, eq), "GENERAL");
    }
    ReadOptions(file, o);
    return o;
}

// The controls whose enablement differs between two looks at the window, "+" for those on now.
std::string Changed(const std::vector<bool>& before, const std::vector<bool>& after) {
    std::string out;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i])
            out +=
                std::string(after[i] ? " +" : " -") + CKestrowDlg::Label(static_cast<Ctl>(i)).toStdString();
    }
    return out.empty() ? " (none)" : out;
}

std::vector<bool> Enabled(CKestrowDlg& w) {
    std::vector<bool> on;
    for (int i = 0; i < static_cast<int>(Ctl::Count); ++i)
        on.push_back(w.control(static_cast<Ctl>(i))->isEnabled());
    return on;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_tmp;
    std::string m_lib;

    CKestrowDlg::Setup Setup() {
        CKestrowDlg::Setup setup;
        setup.settings.file = *m_tmp / "kestrow.ini";
        return setup;
    }
    ProcessOptions Options(int mode) {
        ProcessOptions o;
        o.lastProcessOption = mode;
        o.lastDir = m_lib;
        o.TaglinePrefix = "[KSTW]";
        return o;
    }
private slots:
    void init() {
        m_tmp = std::make_unique<test::TempDir>();
        m_lib = *m_tmp / "lib/";
        test::MakeDirs(m_lib);
    }
    void cleanup() { m_tmp.reset(); }

    // Each control's accessible name is its label without "&", and its state shows through.
    void ControlsAreNamedByTheirLabels() {
        CKestrowDlg w(Options(2), Setup());
        for (int i = 0; i < static_cast<int>(Ctl::Count); ++i) {
            const Ctl c = static_cast<Ctl>(i);
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.control(c));
            QVERIFY(a);
            QString label = CKestrowDlg::Label(c);
            label.remove(QLatin1Char('&'));
            QCOMPARE(a->text(QAccessible::Name), label);
            QCOMPARE(a->state().disabled, !w.control(c)->isEnabled());
        }
        QCOMPARE(Button(w, Ctl::Process)->text(), QStringLiteral("&Process All Selected Dirs!"));
        QVERIFY(Button(w, Ctl::ModeCheckTag)->isChecked());
        QVERIFY(Button(w, Ctl::BackupFile)->isChecked());
        QVERIFY(Button(w, Ctl::StripYear)->isChecked());
        QVERIFY(!w.control(Ctl::Analyze)->isVisibleTo(&w));
    }

    // The controls each mode and option set leaves off; then, for each check box, the controls
    // that follow it when it is toggled (keyboard, accessibility), when the mode changes to restore
    // and back (the followers are taken from the options again), and when it is toggled back.
    void ControlStatesAndFollowers() {
        std::string out;
        for (const auto& row : test::TableRows("window_states.txt")) {
            CKestrowDlg w(With(Options(std::stoi(row[0])), row[1]), Setup());
            out += "== mode " + row[0] + " " + row[1] + "\n";
            const std::vector<bool> on = Enabled(w);
            for (std::size_t i = 0; i < on.size(); ++i)
                if (!on[i]) out += "  off: " + CKestrowDlg::Label(static_cast<Ctl>(i)).toStdString() + "\n";
        }
        const std::pair<Ctl, const char*> boxes[] = {
            {Ctl::Truncate, ""},       {Ctl::StripVaAtBeginning, "Truncate=1"},  {Ctl::RemoveDots, ""},
            {Ctl::StripThe, ""},       {Ctl::StripTheMove, "StripTHEtagDirs=1"}, {Ctl::PrepareCrc, ""},
            {Ctl::DeleteTempFiles, ""}};
        for (const auto& [box, overrides] : boxes) {
            CKestrowDlg w(With(Options(1), overrides), Setup());
            out += "== toggle " + CKestrowDlg::Label(box).toStdString() + "\n";
            std::vector<bool> last = Enabled(w);
            const auto step = [&](const char* what, const std::function<void()>& act) {
                act();
                out += std::string("  ") + what + ":" + Changed(last, Enabled(w)) + "\n";
                last = Enabled(w);
            };
            step("on", [&] { Button(w, box)->toggle(); });
            step("restore", [&] { Button(w, Ctl::ModeRestore)->toggle(); });
            QCOMPARE(w.options().lastProcessOption, 0);
            step("prepare", [&] { Button(w, Ctl::ModePrepare)->click(); });
            step("off", [&] { Button(w, box)->toggle(); });
        }
        QVERIFY(test::ExpectGolden("ui/control_states", out));
    }

    void OptionsFollowTheirControls() {
        CKestrowDlg w(Options(1), Setup());
        Button(w, Ctl::Truncate)->toggle();
        static_cast<QLineEdit*>(w.control(Ctl::TruncateMax))->setText(QStringLiteral("64"));
        Button(w, Ctl::BackupSfv)->toggle();
        Button(w, Ctl::PreserveYear)->toggle();
        QCOMPARE(w.options().Truncate, 1);
        QCOMPARE(w.options().TruncateMaxChars, 64);
        QCOMPARE(w.options().prepareBackupTo, 0);
        QCOMPARE(w.options().preserveRlsyear, 0);
        static_cast<QLineEdit*>(w.control(Ctl::TruncateMax))->setText(QStringLiteral("x"));
        QCOMPARE(w.options().TruncateMaxChars, 0);
        Button(w, Ctl::ConfirmChanges)->toggle();
        QVERIFY(w.control(Ctl::Analyze)->isVisibleTo(&w));
        QVERIFY(w.control(Ctl::Accept)->isVisibleTo(&w));
        QVERIFY(!w.control(Ctl::Accept)->isEnabled());
        QVERIFY(!w.control(Ctl::Process)->isVisibleTo(&w));
        QCOMPARE(static_cast<int>(w.session().options().ConfirmChanges), 1);
    }

    // A pass waiting for confirmation: the buttons come on, and each answers it.
    void ConfirmationFlow_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accept") << true;
        QTest::newRow("no") << false;
    }
    void ConfirmationFlow() {
        QFETCH(bool, accept);
        ProcessOptions o = Options(1);
        o.ConfirmChanges = 1;
        CKestrowDlg w(o, Setup());
        JobControl& control = w.session().control();
        std::atomic<int> outcome{-1};
        std::thread pass([&] {
            w.host().EnableAcceptReject(true);
            w.host().EnableAbortPause(false);
            while (!control.accepted && !control.rejected)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            outcome = control.accepted ? 1 : 0;
            w.host().EnableAcceptReject(false);
            w.host().EnableAbortPause(true);
        });
        QTRY_VERIFY(w.control(Ctl::Accept)->isEnabled());
        QVERIFY(w.control(Ctl::No)->isEnabled());
        QVERIFY(!w.control(Ctl::Abort)->isEnabled());
        Button(w, accept ? Ctl::Accept : Ctl::No)->click();
        QTRY_COMPARE(outcome.load(), accept ? 1 : 0);
        pass.join();
        QTRY_VERIFY(!w.control(Ctl::Accept)->isEnabled());
        QVERIFY(w.control(Ctl::Pause)->isEnabled());
    }

    void PauseAndAbortCaptions() {
        CKestrowDlg w(Options(2), Setup());
        JobControl& control = w.session().control();
        QAbstractButton* pause = Button(w, Ctl::Pause);
        w.host().EnableAbortPause(true);
        w.host().Drain();
        pause->click();
        QVERIFY(control.pauseRequested);
        QVERIFY(!pause->isEnabled());
        QVERIFY(!w.control(Ctl::Abort)->isEnabled());
        // The pass holds: it gives the buttons back and the caption becomes "Continue!".
        w.host().EnableAbortPause(true);
        w.host().SetPauseCaption(std::string(kContinueCaption));
        w.host().Drain();
        QCOMPARE(pause->text(), QStringLiteral("Continue!"));
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Pause!"));
        QVERIFY(!control.pauseRequested);
        w.host().SetPauseCaption(std::string(kContinueCaption));
        w.host().Drain();
        Button(w, Ctl::Abort)->click();
        QCOMPARE(pause->text(), QStringLiteral("Pause!"));
        QVERIFY(control.abortRequested);
        QVERIFY(!pause->isEnabled());
    }

    // A worker's question is a message box on the user-interface thread with the caption, text,
    // icon and buttons it was given; the worker waits for the button pressed.
    void QuestionsAreMessageBoxes() {
        CKestrowDlg w(Options(2), Setup());
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            defaultButton = box->standardButton(box->defaultButton());
            box->button(QMessageBox::Yes)->click();
        });
        poll.start(10);
        std::atomic<int> answer{-1};
        std::thread worker([&] {
            answer = static_cast<int>(w.host().Ask(HostQuestion{
                "x is corrupt (Bad CRC), continue anyway?", "WARNING", platform::Buttons::YesNoDefaultNo,
                platform::Icon::Exclamation, platform::Answer::No}));
        });
        QTRY_COMPARE(answer.load(), static_cast<int>(platform::Answer::Yes));
        worker.join();
        QCOMPARE(caption, QStringLiteral("WARNING"));
        QCOMPARE(text, QStringLiteral("x is corrupt (Bad CRC), continue anyway?"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(defaultButton, QMessageBox::No);
    }

    void RuleDialog() {
        CTempFileDlg d;
        d.Set(QStringLiteral("a.txt"), 0, QString());
        for (int op = 1; op <= 4; ++op) QVERIFY(!d.operationButton(op)->isChecked());
        QVERIFY(!d.targetEdit()->isEnabled());
        QCOMPARE(d.fileEdit()->maxLength(), 260);
        d.operationButton(4)->click();
        QVERIFY(d.targetEdit()->isEnabled());
        QCOMPARE(d.operation(), 4);
        d.operationButton(1)->click();
        QVERIFY(!d.targetEdit()->isEnabled());
        d.Set(QStringLiteral("info.txt"), 4, QStringLiteral("release.nfo"));
        QVERIFY(d.operationButton(4)->isChecked());
        QVERIFY(d.targetEdit()->isEnabled());
    }

    // Added lines are sorted in; a modified line keeps its place; OK without an operation and
    // Remove without a selection change nothing.
    void RuleListEditing() {
        ProcessOptions o = Options(1);
        o.DeleteTempFiles = 1;
        CKestrowDlg w(o, Setup());
        auto* list = static_cast<QListWidget*>(w.control(Ctl::SpecialList));
        struct Rule {
            int op;
            const char* name;
            const char* target;
        } next{};
        w.SetRuleDialogHandler([&](CTempFileDlg& d) {
            d.fileEdit()->setText(QString::fromUtf8(next.name));
            if (next.op) d.operationButton(next.op)->click();
            d.targetEdit()->setText(QString::fromUtf8(next.target));
            d.accept();
            return true;
        });
        for (Rule r : {Rule{3, "zz.tmp", ""}, Rule{1, "thumbs.db", ""}, Rule{4, "info.txt", "release.nfo"},
                       Rule{2, "keep.me", ""}, Rule{0, "nothing", ""}}) {
            next = r;
            Button(w, Ctl::AddFile)->click();
        }
        Button(w, Ctl::DeleteTempFiles)->toggle();
        QVERIFY(!w.control(Ctl::AddFile)->isEnabled());
        Button(w, Ctl::DeleteTempFiles)->toggle();
        QVERIFY(w.control(Ctl::AddFile)->isEnabled());
        const std::vector<std::string> sorted = {"DEL: thumbs.db", "IGN: keep.me",
                                                 "REN: info.txt -> release.nfo", "TRC: zz.tmp"};
        QCOMPARE(w.options().specialFileLines, sorted);

        Button(w, Ctl::RemoveSelected)->click();
        QCOMPARE(list->count(), 4);

        list->setCurrentRow(2);
        w.SetRuleDialogHandler([&](CTempFileDlg& d) {
            [&] {
                QCOMPARE(d.fileEdit()->text(), QStringLiteral("info.txt"));
                QCOMPARE(d.targetEdit()->text(), QStringLiteral("release.nfo"));
                QVERIFY(d.operationButton(4)->isChecked());
            }();
            d.operationButton(1)->click();
            d.accept();
            return true;
        });
        Button(w, Ctl::ModifyFile)->click();
        QCOMPARE(list->item(2)->text(), QStringLiteral("DEL: info.txt"));

        list->setCurrentRow(0);
        Button(w, Ctl::RemoveSelected)->click();
        QCOMPARE(w.options().specialFileLines,
                 (std::vector<std::string>{"IGN: keep.me", "DEL: info.txt", "TRC: zz.tmp"}));
    }

    // "kestrow -C DIR": the directory is tagged and the program closes by itself with status 0.
    void CommandLineRunClosesByItself() {
        test::WriteIntactRelease(m_lib + "Release-2008-GRP");
        test::WriteFile(*m_tmp / "kestrow.ini", "[GENERAL]\nPrepareCRCCheck=1\nGeneratePrepareTagline=1\n");
        QProcess p;
        p.start(QStringLiteral(KESTROW_GUI_BIN),
                {QStringLiteral("-C"), QString::fromStdString(m_lib + "Release-2008-GRP"),
                 QStringLiteral("--settings"), QString::fromStdString(*m_tmp / "kestrow.ini")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(Starting(m_lib + "Release-2008-GRP", "[KSTW]-[OK-2_Files-").size(), std::size_t{1});
        // The options were saved when the window closed.
        QVERIFY(test::ReadFile(*m_tmp / "kestrow.ini").find("lastProcessOption=2") != std::string::npos);
    }

    // Closing while a pass waits for confirmation refuses the changes, waits for the workers,
    // saves the options and closes.
    void ClosingDuringAJobRefusesAndWaits() {
        const std::string longName = "A_Very_Long_Artist_Name-An_Even_Longer_Album_Title_Here-2008-GRP";
        test::WriteIntactRelease(m_lib + longName);
        ProcessOptions o = Options(1);
        o.Truncate = 1;
        o.TruncateMaxChars = 30;
        o.ConfirmChanges = 1;
        o.SuppressAlerts = 1;
        CKestrowDlg w(o, Setup());
        w.show();
        auto* list = static_cast<QTreeView*>(w.control(Ctl::DirList));
        QTRY_COMPARE(list->model()->rowCount(), 1);
        list->selectAll();
        Button(w, Ctl::Analyze)->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.control(Ctl::Accept)->isEnabled(), 30000);
        QVERIFY(!w.close());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 30000);
        QVERIFY(!w.session().Active());
        QVERIFY(test::Exists(m_lib + longName));
        QVERIFY(test::Exists(*m_tmp / "kestrow.ini"));
    }
};

}  // namespace kestrow

QTEST_MAIN(kestrow::WindowTest)
#include "window_test.moc"
