// The main window: the folder and its subdirectories, the log, every option, the special-file
// list and the buttons that start and steer a job.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobcontrol.h"
#include "engine/jobsession.h"
#include "settings/commandline.h"
#include "settings/processoptions.h"
#include "settings/settingslocation.h"
#include "ui/guihost.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QListWidget;
class QProgressBar;
class QTreeView;

namespace kestrow {

class CDirTree;
class CMdcList;
class CTempFileDlg;
class DirListModel;
class LogListModel;

class CKestrowDlg : public QWidget, public HostView {
    Q_OBJECT
public:
    // Every control, in the order of the dialog (which is also the Tab order).
    enum class Ctl {
        Tree,
        DirList,
        UpdateTree,
        Update,
        Help,
        SelectAll,
        Log,
        ProcessGroup,
        ModeCheckTag,
        ModePrepare,
        BackupSfv,
        BackupM3u,
        BackupFile,
        CdrLabel,
        Truncate,
        TruncateMax,
        Characters,
        ReplaceDots,
        RemoveDots,
        RemoveDotsFront,
        StripVA,
        StripThe,
        StripTheMove,
        StripTheBrackets,
        GenerateM3u,
        DeleteTempFiles,
        PrepareCrc,
        PrepareTagline,
        PrepareTrust,
        ModeRestore,
        RestoreTruncated,
        RestoreWithout,
        RestoreCrc,
        RestoreTagline,
        RestoreTrust,
        TruncGroup,
        PreserveGrptag,
        PreserveYear,
        StripYear,
        StripVaAtBeginning,
        NotInNfo,
        SpecialGroup,
        SpecialList,
        AddFile,
        ModifyFile,
        RemoveSelected,
        ConfirmChanges,
        SuppressAlerts,
        Process,
        Analyze,
        Accept,
        No,
        Abort,
        Pause,
        Count
    };

    struct Setup {
        SettingsLocation settings;
        // A mode and a directory on the command line: that one directory is processed at once
        // and the window closes when the job has ended.
        UnattendedRun run;
        char mode = 0;
    };

    CKestrowDlg(const ProcessOptions& options, Setup setup, QWidget* parent = nullptr);
    ~CKestrowDlg() override;

    QWidget* control(Ctl c) const { return m_controls[static_cast<std::size_t>(c)]; }
    // The label a control was given; its accessible name is the same without "&".
    static QString Label(Ctl c);
    const ProcessOptions& options() const { return m_options; }
    JobSession& session() { return *m_session; }
    GuiHost& host() { return *m_host; }
    CMdcList& log() { return *m_log; }
    QString listFolder() const { return m_listFolder; }
    // The folder chosen in the tree.
    QString treePath() const { return m_treePath; }
    CDirTree& tree() { return *m_tree; }
    DirListModel& dirModel() { return *m_dirModel; }
    double horizontalUnit() const { return m_hu; }
    double verticalUnit() const { return m_vu; }

    void StartJob();
    void RefreshControlStates();
    void EnterJobState();
    void ShowConfirmButtons();
    void ShowAbout();
    void AddRule();
    void ModifyRule();
    void RemoveRule();
    void FillDirList(const QString& folder);

    // Runs the rule dialog instead of showing it (tests): returns whether it ended with OK.
    void SetRuleDialogHandler(std::function<bool(CTempFileDlg&)> handler) {
        m_ruleDialog = std::move(handler);
    }

    // HostView
    void OnJobState(JobState state) override;
    void OnAbortPause(bool enabled) override;
    void OnAcceptReject(bool enabled) override;
    void OnPauseCaption(const QString& caption) override;
    void OnSelectAllDirs() override;
    void OnRefillDirList() override;
    void OnCloseAfterRun() override;
    void OnJobFinished() override;
    void OnProgress(const ProgressInfo& progress) override;
    void OnLogGrew() override;
    QWidget* QuestionParent() override { return this; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls(QWidget* client);
    void ConnectOptions();
    void LoadControls();
    void Enable(Ctl c, bool on);
    void EnableAll(std::initializer_list<Ctl> controls, bool on);
    void FollowCheckBox(Ctl c);
    bool Checked(Ctl c) const;
    void PausePressed();
    void AbortPressed();
    bool RunRuleDialog(CTempFileDlg& dialog);
    void SyncSpecialLines();
    void RebuildTree();
    void ShowListProgress();
    void SaveOptionsNow();
    std::vector<std::string> SelectedNames() const;
    QAbstractButton* Button(Ctl c) const;

    ProcessOptions m_options;
    Setup m_setup;
    double m_hu = 1.5;
    double m_vu = 1.625;

    JobControl m_control;
    std::unique_ptr<LogListModel> m_logModel;
    std::unique_ptr<GuiHost> m_host;
    std::unique_ptr<JobSession> m_session;

    std::array<QWidget*, static_cast<std::size_t>(Ctl::Count)> m_controls{};
    // The wrapped text drawn beside a check box or radio whose label needs two lines.
    std::array<QLabel*, static_cast<std::size_t>(Ctl::Count)> m_wrapLabels{};
    CMdcList* m_log = nullptr;
    CDirTree* m_tree = nullptr;
    QTreeView* m_dirList = nullptr;
    DirListModel* m_dirModel = nullptr;
    QListWidget* m_specialList = nullptr;
    QButtonGroup* m_modeGroup = nullptr;
    QButtonGroup* m_backupGroup = nullptr;
    QButtonGroup* m_yearGroup = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;

    ProgressInfo m_lastProgress;
    QString m_treePath;    // the folder selected in the tree
    QString m_listFolder;  // the folder whose subdirectories the list shows
    // How far the number box and "Characters." moved right to make room for their row's label.
    int m_rowShift = 0;
    bool m_loading = false;
    // The folder to list could not be read: at start-up the list follows the tree once the tree
    // has opened.
    bool m_listFailed = false;
    bool m_treeOpened = false;
    bool m_startOpen = true;
    bool m_closing = false;
    bool m_closeAfterRun = false;
    bool m_saved = false;
    std::function<bool(CTempFileDlg&)> m_ruleDialog;
};

}  // namespace kestrow
