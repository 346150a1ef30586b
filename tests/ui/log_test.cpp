// The log window: colours kept beside the text, appends, shedding of the oldest lines, copying.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "ui/cmdclist.h"
#include "ui/guihost.h"
#include "ui/loglistmodel.h"

namespace kestrow {

class NullView : public HostView {
public:
    void OnJobState(JobState) override {}
    void OnAbortPause(bool) override {}
    void OnAcceptReject(bool) override {}
    void OnPauseCaption(const QString&) override {}
    void OnSelectAllDirs() override {}
    void OnRefillDirList() override {}
    void OnCloseAfterRun() override {}
    void OnJobFinished() override {}
    void OnProgress(const ProgressInfo&) override {}
    void OnLogGrew() override {}
    QWidget* QuestionParent() override { return nullptr; }
};

class LogTest : public QObject {
    Q_OBJECT
    // Applies adds of the given texts, with the ids 1, 2, ...
    static void AddLines(LogListModel& model, const std::vector<std::string>& texts) {
        std::vector<LogOp> ops(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            ops[i].id = static_cast<LogLineId>(i + 1);
            ops[i].text = texts[i];
        }
        model.Apply(ops);
    }
    QString Text(const LogListModel& model, int row) { return model.index(row).data().toString(); }
    int Fg(const LogListModel& model, int row) {
        return model.index(row).data(LogListModel::ForegroundIndexRole).toInt();
    }
    int Bg(const LogListModel& model, int row) {
        return model.index(row).data(LogListModel::BackgroundIndexRole).toInt();
    }

private slots:
    void ColoursStayBesideTheText() {
        LogListModel model;
        JobControl control;
        NullView view;
        GuiHost host(model, control, view);
        host.LogColouredLine(LogColour::White, LogColour::Red, "red\r\nline");
        host.LogLine("plain");
        host.Drain();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(Text(model, 0), QStringLiteral("red  line"));
        QCOMPARE(Fg(model, 0), 1);
        QCOMPARE(Bg(model, 0), 10);
        QCOMPARE(model.index(0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QCOMPARE(model.index(1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 0));
        QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("red  line"));
    }

    // Appends land on their line whether it is still queued, already shown, or gone.
    void AppendsTurnTheLinePlain() {
        LogListModel model;
        JobControl control;
        NullView view;
        GuiHost host(model, control, view);
        LogLineId queued = host.LogColouredLine(LogColour::White, LogColour::Red, "== CRC checking: a");
        host.AppendToLogLine(" ===> CRC OK", queued);
        LogLineId shown = host.LogColouredLine(LogColour::White, LogColour::Green, "== CRC checking: b");
        host.LogLine("next");
        host.Drain();
        host.AppendToLogLine(" ===> CRC OK\n", shown);
        host.Drain();
        QCOMPARE(Text(model, 0), QStringLiteral("== CRC checking: a ===> CRC OK"));
        QCOMPARE(Text(model, 1), QStringLiteral("== CRC checking: b ===> CRC OK "));
        QCOMPARE(Fg(model, 1), 0);
        QCOMPARE(Bg(model, 1), 1);
        model.Clear();
        host.AppendToLogLine(" late", shown);
        host.LogLine("after");
        host.Drain();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(Text(model, 0), QStringLiteral(" late"));
        QCOMPARE(Text(model, 1), QStringLiteral("after"));
    }

    // At the cap the oldest lines go in blocks of 20, announced to the views before they go.
    void ShedsTheOldestInBlocks() {
        LogListModel model(50);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        std::vector<std::string> texts;
        for (int i = 0; i < 71; ++i) texts.push_back(std::to_string(i));
        AddLines(model, texts);
        // 50 fill the log, the 51st sheds 20, the 71st sheds 20 more.
        QCOMPARE(model.rowCount(), 31);
        QCOMPARE(Text(model, 0), QStringLiteral("40"));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(2).toInt(), 39);
    }

    void CopyTakesTheSelectedLinesInOrder() {
        LogListModel model;
        AddLines(model, {"first\tline", "second", "third"});
        QCOMPARE(model.CopyText({2, 0}), QStringLiteral("first line\nthird\n"));

        CMdcList view(model);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        view.Copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        view.selectionModel()->select(model.index(1), QItemSelectionModel::Select);
        view.Copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("second\n"));
    }

    void ExtentFollowsTheWidestLine() {
        LogListModel model;
        CMdcList view(model);
        AddLines(model, {"short", std::string(300, 'W')});
        QVERIFY(model.maxExtent() >=
                view.fontMetrics().horizontalAdvance(QString(300, QLatin1Char('W'))) - 1);
        view.Clear();
        QCOMPARE(model.maxExtent(), 0);
    }
};

}  // namespace kestrow

QTEST_MAIN(kestrow::LogTest)
#include "log_test.moc"
