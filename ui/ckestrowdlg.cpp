// The main window.
#include "ui/ckestrowdlg.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>

#include "content/dircontents.h"
#include "engine/logtexts.h"
#include "platform/bytesize.h"
#include "platform/text.h"
#include "settings/options.h"
#include "ui/art.h"
#include "ui/caboutdlg.h"
#include "ui/cdirtree.h"
#include "ui/cmdclist.h"
#include "ui/ctempfiledlg.h"
#include "ui/dirlistmodel.h"
#include "ui/loglistmodel.h"

namespace kestrow {

namespace {

using Ctl = CKestrowDlg::Ctl;

enum class Kind { Tree, DirList, Button, Log, Group, Radio, Check, Label, Edit, ListBox };

struct ControlLayout {
    Ctl id;
    Kind kind;
    const char* label;
    int x, y, w, h;
    int ProcessOptions::*field;  // the on/off option a check box mirrors
};

// Positions and sizes in dialog units.
constexpr ControlLayout kControls[] = {
    {Ctl::Tree, Kind::Tree, "Directory tree", 3, 8, 162, 144, nullptr},
    {Ctl::DirList, Kind::DirList, "Directory list", 169, 8, 350, 182, nullptr},
    {Ctl::UpdateTree, Kind::Button, "Update &Tree (F5)", 7, 156, 73, 14, nullptr},
    {Ctl::Update, Kind::Button, "UP&DATE >>>", 94, 157, 70, 14, nullptr},
    {Ctl::Help, Kind::Button, "Help", 7, 173, 73, 15, nullptr},
    {Ctl::SelectAll, Kind::Button, "Select &All", 93, 174, 70, 14, nullptr},
    {Ctl::Log, Kind::Log, "Log", 5, 198, 515, 366, nullptr},
    {Ctl::ProcessGroup, Kind::Group, "Process Options", 525, 1, 210, 514, nullptr},
    {Ctl::ModeCheckTag, Kind::Radio,
     "CHECK AND TAG (settings for Check/Prepare below apply - Except no renaming occur)", 531, 14, 192, 19,
     nullptr},
    {Ctl::ModePrepare, Kind::Radio, "CHECK/PREPARE SELECTED DIRECTORIES", 531, 43, 166, 13, nullptr},
    {Ctl::BackupSfv, Kind::Radio, "Save Backup data to SFV (not recommended!)", 543, 56, 164, 10, nullptr},
    {Ctl::BackupM3u, Kind::Radio, "Save Backup data to M3U", 543, 67, 123, 9, nullptr},
    {Ctl::BackupFile, Kind::Radio, "Save Backup data to _kestrow.backup (best!)", 543, 77, 166, 10, nullptr},
    {Ctl::CdrLabel, Kind::Label, "CD-R/DVD Compability:", 544, 89, 78, 11, nullptr},
    {Ctl::Truncate, Kind::Check, "Truncate Files/Dirs >", 554, 97, 77, 14, &ProcessOptions::Truncate},
    {Ctl::TruncateMax, Kind::Edit, "Characters.", 636, 96, 20, 12, nullptr},
    {Ctl::Characters, Kind::Label, "Characters.", 660, 99, 43, 11, nullptr},
    {Ctl::ReplaceDots, Kind::Check, "Replace multiple dots w/ comma in Filenames", 554, 108, 157, 14,
     &ProcessOptions::ReplaceDots},
    {Ctl::RemoveDots, Kind::Check, "Remove dots in ALL dirs (not files, see above)", 543, 122, 163, 10,
     &ProcessOptions::RemoveDotsInDirs},
    {Ctl::RemoveDotsFront, Kind::Check, "Only Up To First Hyphen", 554, 133, 131, 10,
     &ProcessOptions::RemoveDotsInDirsFrontOnly},
    {Ctl::StripVA, Kind::Check, "Strip \"VA\" in beginning of ALL dirs (not files)", 543, 146, 161, 10,
     &ProcessOptions::StripVAtagDirs},
    {Ctl::StripThe, Kind::Check, "Strip \"THE\" in beginning of ALL dirs (not files)", 543, 158, 161, 10,
     &ProcessOptions::StripTHEtagDirs},
    {Ctl::StripTheMove, Kind::Check,
     "Move to Front of First Hyphen/bracket if Available (otherwise stripped)", 555, 171, 155, 16,
     &ProcessOptions::StripTHEtagDirsMove},
    {Ctl::StripTheBrackets, Kind::Check, "And Add Surrounding  Brackets", 566, 187, 117, 15,
     &ProcessOptions::StripTHEtagDirsMoveAddBrackets},
    {Ctl::GenerateM3u, Kind::Check, "Generate Missing M3U", 543, 200, 138, 10,
     &ProcessOptions::PrepareGenerateM3U},
    {Ctl::DeleteTempFiles, Kind::Check, "Process Special Files (list below)", 543, 211, 138, 10,
     &ProcessOptions::DeleteTempFiles},
    {Ctl::PrepareCrc, Kind::Check, "CRC-Check all files", 543, 223, 125, 8, &ProcessOptions::PrepareCRCCheck},
    {Ctl::PrepareTagline, Kind::Check, "Generate/Update Tagline", 555, 233, 112, 10,
     &ProcessOptions::GeneratePrepareTagline},
    {Ctl::PrepareTrust, Kind::Check,
     "Do not re-check, trust existing Taglines with kestrow format (use with caution!)", 556, 241, 155, 22,
     &ProcessOptions::PrepareTaglineTrustExisting},
    {Ctl::ModeRestore, Kind::Radio, "RESTORE SELECTED DIRECTORIES", 531, 270, 162, 13, nullptr},
    {Ctl::RestoreTruncated, Kind::Check, "Restore Backed Up Data", 541, 284, 171, 10,
     &ProcessOptions::RestoreTruncated},
    {Ctl::RestoreWithout, Kind::Check, "Attempt to Restore Files Without Backup Data", 542, 294, 167, 14,
     &ProcessOptions::RestoreWithoutBackupData},
    {Ctl::RestoreCrc, Kind::Check, "CRC-Check all files", 542, 309, 125, 8, &ProcessOptions::RestoreCRCCheck},
    {Ctl::RestoreTagline, Kind::Check, "Generate/Update Tagline", 554, 319, 108, 10,
     &ProcessOptions::GenerateRestoreTagline},
    {Ctl::RestoreTrust, Kind::Check,
     "Do not re-check, trust existing Taglines w/ kestrow format when no changes detected (use with "
     "caution!)",
     554, 329, 156, 29, &ProcessOptions::RestoreTaglineTrustExisting},
    {Ctl::TruncGroup, Kind::Group, "Options WHEN a file or directory is truncated", 525, 359, 210, 81,
     nullptr},
    {Ctl::PreserveGrptag, Kind::Check, "Preserve tags at end of file/dir names (Defined in Kestrow.Ini)", 540,
     368, 141, 17, &ProcessOptions::preserveGrptag},
    {Ctl::PreserveYear, Kind::Radio, "Preserve year before tag (dirs only)", 540, 383, 157, 17, nullptr},
    {Ctl::StripYear, Kind::Radio, "Strip year before tag (dirs only)", 540, 396, 116, 16, nullptr},
    {Ctl::StripVaAtBeginning, Kind::Check, "Strip \"VA\" At Beginning", 540, 412, 101, 12,
     &ProcessOptions::preserveVAtag},
    {Ctl::NotInNfo, Kind::Check, "Not in nfo/sfv/m3u filenames", 553, 425, 112, 9,
     &ProcessOptions::preserveVAtagException1},
    {Ctl::SpecialGroup, Kind::Group, "Special Files", 525, 435, 210, 80, nullptr},
    {Ctl::SpecialList, Kind::ListBox, "Special Files", 542, 446, 177, 46, nullptr},
    {Ctl::AddFile, Kind::Button, "Add File", 542, 494, 47, 15, nullptr},
    {Ctl::ModifyFile, Kind::Button, "Modify File", 593, 494, 51, 15, nullptr},
    {Ctl::RemoveSelected, Kind::Button, "Remove Selected", 649, 494, 70, 15, nullptr},
    {Ctl::ConfirmChanges, Kind::Check, "Confirm Changes", 537, 517, 67, 12, nullptr},
    {Ctl::SuppressAlerts, Kind::Check, "Suppress alert popups", 609, 517, 85, 12, nullptr},
    {Ctl::Process, Kind::Button, "&Process All Selected Dirs!", 527, 531, 133, 33, nullptr},
    {Ctl::Analyze, Kind::Button, "Analyze All Selected Dirs!", 528, 531, 133, 15, nullptr},
    {Ctl::Accept, Kind::Button, "I Accept, Apply Changes To Dir", 528, 549, 108, 15, nullptr},
    {Ctl::No, Kind::Button, "No!", 639, 549, 22, 15, nullptr},
    {Ctl::Abort, Kind::Button, "Abort!", 667, 531, 39, 15, nullptr},
    {Ctl::Pause, Kind::Button, "Pause!", 667, 549, 39, 15, nullptr},
};
static_assert(std::size(kControls) == static_cast<std::size_t>(Ctl::Count));

constexpr int kDialogWidth = 740;
constexpr int kDialogHeight = 568;

const ControlLayout& LayoutOf(Ctl c) {
    return kControls[static_cast<std::size_t>(c)];
}

QString Plain(const QString& label) {
    QString out = label;
    out.remove(QLatin1Char('&'));
    return out;
}

// Clicking the wrapped text beside a check box or radio works the control, as its own text does.
class BuddyText : public QLabel {
public:
    BuddyText(const QString& text, QAbstractButton* buddy, QWidget* parent)
        : QLabel(text, parent), m_buddy(buddy) {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setBuddy(buddy);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (m_buddy->isEnabled()) {
            m_buddy->setFocus(Qt::MouseFocusReason);
            m_buddy->click();
        }
        QLabel::mouseReleaseEvent(event);
    }

private:
    QAbstractButton* m_buddy;
};

// The check/prepare group, the restore group and the special-file controls.
constexpr Ctl kPrepareGroup[] = {
    Ctl::BackupSfv,       Ctl::BackupM3u,          Ctl::BackupFile,       Ctl::Truncate,
    Ctl::ReplaceDots,     Ctl::RemoveDots,         Ctl::RemoveDotsFront,  Ctl::StripVA,
    Ctl::StripThe,        Ctl::StripTheMove,       Ctl::StripTheBrackets, Ctl::GenerateM3u,
    Ctl::DeleteTempFiles, Ctl::PrepareCrc,         Ctl::PrepareTagline,   Ctl::PrepareTrust,
    Ctl::TruncateMax,     Ctl::Characters,         Ctl::PreserveGrptag,   Ctl::PreserveYear,
    Ctl::StripYear,       Ctl::StripVaAtBeginning, Ctl::NotInNfo};
constexpr Ctl kRestoreGroup[] = {Ctl::RestoreTruncated, Ctl::RestoreWithout, Ctl::RestoreCrc,
                                 Ctl::RestoreTagline, Ctl::RestoreTrust};
constexpr Ctl kSpecialControls[] = {Ctl::SpecialList, Ctl::AddFile, Ctl::ModifyFile, Ctl::RemoveSelected};
constexpr Ctl kTruncationGroup[] = {Ctl::PreserveGrptag,     Ctl::PreserveYear, Ctl::StripYear,
                                    Ctl::StripVaAtBeginning, Ctl::NotInNfo,     Ctl::TruncateMax,
                                    Ctl::Characters};

// The SFV mark stands centred in its column.
class CentredMark : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationAlignment = Qt::AlignCenter;
        option->decorationSize = option->decorationSize.boundedTo(option->rect.size());
    }
};

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

}  // namespace

QString CKestrowDlg::Label(Ctl c) {
    return QString::fromUtf8(LayoutOf(c).label);
}

CKestrowDlg::CKestrowDlg(const ProcessOptions& options, Setup setup, QWidget* parent)
    : QWidget(parent), m_options(options), m_setup(std::move(setup)) {
    setWindowTitle(tr("Kestrow"));
    setWindowIcon(KestrowIcon());

    // Dialog units of the window's font: a quarter of the average character width across, an
    // eighth of the font height down.
    auto measure = [this] {
        const QFontMetricsF metrics(font());
        m_hu = metrics.horizontalAdvance(
                   QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
               52.0 / 4.0;
        m_vu = metrics.height() / 8.0;
    };
    measure();
    // On a small screen (1366 x 768) the window's font gives up to a sixth of its size, every
    // control keeping its place in dialog units; what still does not fit scrolls (below).
    if (QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        const double chrome = 2 * QFontMetricsF(font()).height() + 48;
        const double fit = std::min((room.height() - chrome) / (kDialogHeight * m_vu),
                                    (room.width() - 40) / (kDialogWidth * m_hu));
        if (fit < 1.0 && font().pointSizeF() > 0) {
            QFont smaller = font();
            smaller.setPointSizeF(font().pointSizeF() * std::max(fit, 5.0 / 6.0));
            setFont(smaller);
            measure();
        }
    }
    const QFontMetricsF fm(font());

    m_logModel = std::make_unique<LogListModel>();
    m_host = std::make_unique<GuiHost>(*m_logModel, m_control, *this);
    m_session = std::make_unique<JobSession>(*m_host, m_control);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // A Linux window has no system menu: "About Kestrow..." sits in the Help menu of a menu bar.
    auto* menuBar = new QMenuBar(this);
    QMenu* help = menuBar->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About Kestrow..."), this, &CKestrowDlg::ShowAbout);
    about->setShortcut(QKeySequence::HelpContents);
    layout->setMenuBar(menuBar);

    auto* client = new QWidget(this);
    client->setFixedSize(static_cast<int>(std::lround(kDialogWidth * m_hu)),
                         static_cast<int>(std::lround(kDialogHeight * m_vu)));
    CreateControls(client);
    // The dialog is taller than a 768-pixel screen at common font sizes: there it keeps its
    // layout and scrolls inside a window that fits the screen.
    QWidget* shown = client;
    if (QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        // Room for the window frame, the menu bar and the status line.
        const int chrome = 2 * fm.height() + 48;
        if (client->height() + chrome > room.height() || client->width() + 16 > room.width()) {
            auto* scroll = new QScrollArea(this);
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidget(client);
            scroll->setWidgetResizable(false);
            const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
            const int w = std::min(client->width() + bar, room.width() - 16);
            const int h =
                std::min(client->height() + (w < client->width() + bar ? bar : 0), room.height() - chrome);
            scroll->setFixedSize(w, h);
            shown = scroll;
        }
    }
    layout->addWidget(shown);

    auto* statusRow = new QWidget(this);
    auto* statusLayout = new QHBoxLayout(statusRow);
    statusLayout->setContentsMargins(static_cast<int>(5 * m_hu), 2, static_cast<int>(5 * m_hu), 2);
    m_status = new QLabel(tr("Ready"), statusRow);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAccessibleName(tr("Status"));
    m_status->setMinimumWidth(1);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress = new QProgressBar(statusRow);
    m_progress->setAccessibleName(tr("Progress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(static_cast<int>(150 * m_hu));
    statusLayout->addWidget(m_status, 1);
    statusLayout->addWidget(m_progress);
    statusRow->setFixedWidth(shown->width());
    layout->addWidget(statusRow);

    ConnectOptions();
    LoadControls();
    RefreshControlStates();

    // The folder the list shows; an unattended run shows the parent of its directory.
    QString last = QString::fromStdString(m_options.lastDir);
    if (m_setup.run.active) {
        m_listFolder = QString::fromStdString(m_setup.run.where.parent);
    } else {
        m_listFolder = last.isEmpty() ? QString() : WithSlash(last);
    }
    m_treePath = m_setup.run.active || last.isEmpty() ? m_listFolder : WithSlash(last);
    RebuildTree();
    if (!m_listFolder.isEmpty()) FillDirList(m_listFolder);

    if (m_setup.run.active) QMetaObject::invokeMethod(this, &CKestrowDlg::StartJob, Qt::QueuedConnection);
}

CKestrowDlg::~CKestrowDlg() {
    // Whatever happened before, no worker outlives the window.
    m_session->Shutdown();
    m_host->Shutdown();
    m_session->Join();
}

void CKestrowDlg::CreateControls(QWidget* client) {
    auto rect = [this](const ControlLayout& s) {
        return QRect(static_cast<int>(std::lround(s.x * m_hu)), static_cast<int>(std::lround(s.y * m_vu)),
                     static_cast<int>(std::lround(s.w * m_hu)), static_cast<int>(std::lround(s.h * m_vu)));
    };
    m_modeGroup = new QButtonGroup(this);
    m_backupGroup = new QButtonGroup(this);
    m_yearGroup = new QButtonGroup(this);

    for (const ControlLayout& s : kControls) {
        const QString label = QString::fromUtf8(s.label);
        QRect r = rect(s);
        if (s.id == Ctl::TruncateMax || s.id == Ctl::Characters) r.translate(m_rowShift, 0);
        QWidget* w = nullptr;
        switch (s.kind) {
            case Kind::Tree: {
                m_tree = new CDirTree(client);
                m_tree->installEventFilter(this);
                w = m_tree;
                break;
            }
            case Kind::DirList: {
                m_dirList = new QTreeView(client);
                m_dirModel = new DirListModel(m_dirList);
                m_dirList->setModel(m_dirModel);
                m_dirList->setRootIsDecorated(false);
                m_dirList->setItemsExpandable(false);
                m_dirList->setUniformRowHeights(true);
                m_dirList->setSortingEnabled(false);
                m_dirList->setSelectionMode(QAbstractItemView::ExtendedSelection);
                m_dirList->setSelectionBehavior(QAbstractItemView::SelectRows);
                m_dirList->setAllColumnsShowFocus(true);
                m_dirList->setItemDelegateForColumn(DirListModel::SfvColumn, new CentredMark(m_dirList));
                m_dirList->header()->setSectionsMovable(false);
                m_dirList->header()->setStretchLastSection(false);
                m_dirList->installEventFilter(this);
                // The widths are shares of twentieths of the list's inner width, set once.
                const int frame =
                    m_dirList->frameWidth() * 2 +
                    m_dirList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_dirList);
                const int unit = std::max(1, (r.width() - frame) / 20);
                m_dirList->setColumnWidth(DirListModel::M3uColumn, unit * 3 / 2);
                m_dirList->setColumnWidth(DirListModel::SfvColumn, unit);
                m_dirList->setColumnWidth(DirListModel::NameColumn, unit * 15);
                m_dirList->setColumnWidth(DirListModel::SizeColumn, unit * 5 / 2);
                w = m_dirList;
                break;
            }
            case Kind::Button:
                w = new QPushButton(label, client);
                static_cast<QPushButton*>(w)->setAutoDefault(false);
                break;
            case Kind::Log:
                m_log = new CMdcList(*m_logModel, client);
                w = m_log;
                break;
            case Kind::Group:
                w = new QGroupBox(label, client);
                break;
            case Kind::Label: {
                auto* text = new QLabel(label, client);
                text->setTextFormat(Qt::PlainText);
                text->setWordWrap(true);
                w = text;
                break;
            }
            case Kind::Edit: {
                auto* edit = new QLineEdit(client);
                edit->setMaxLength(3);
                w = edit;
                break;
            }
            case Kind::ListBox:
                m_specialList = new QListWidget(client);
                m_specialList->setSelectionMode(QAbstractItemView::SingleSelection);
                w = m_specialList;
                break;
            case Kind::Radio:
            case Kind::Check: {
                QAbstractButton* button = s.kind == Kind::Radio
                                              ? static_cast<QAbstractButton*>(new QRadioButton(client))
                                              : static_cast<QAbstractButton*>(new QCheckBox(client));
                QStyleOptionButton option;
                option.initFrom(button);
                const int indicator =
                    button->style()->pixelMetric(s.kind == Kind::Radio ? QStyle::PM_ExclusiveIndicatorWidth
                                                                       : QStyle::PM_IndicatorWidth,
                                                 &option, button) +
                    button->style()->pixelMetric(s.kind == Kind::Radio ? QStyle::PM_RadioButtonLabelSpacing
                                                                       : QStyle::PM_CheckBoxLabelSpacing,
                                                 &option, button);
                // The boxes were measured for a narrower font: a label may reach right up to the
                // next control on its row (or the frame); one that still does not fit is drawn
                // wrapped beside the control.
                const int needed = button->fontMetrics().horizontalAdvance(label) + indicator + 4;
                const int reachUnits = s.id == Ctl::Truncate         ? s.w
                                       : s.id == Ctl::ConfirmChanges ? 609 - 1 - s.x
                                                                     : 731 - s.x;
                const int reach = static_cast<int>(std::lround(reachUnits * m_hu));
                if (s.id == Ctl::Truncate && needed > r.width()) {
                    // The number box and "Characters." move over; there is room behind them.
                    m_rowShift = needed - r.width();
                    button->setText(label);
                    w = button;
                    r.setWidth(needed);
                    break;
                }
                if (needed > reach) {
                    button->setGeometry(r.x(), r.y(), indicator, r.height());
                    auto* text = new BuddyText(label, button, client);
                    text->setGeometry(r.x() + indicator, r.y() - 2, reach - indicator, r.height() + 4);
                    m_wrapLabels[static_cast<std::size_t>(s.id)] = text;
                    button->setAccessibleName(Plain(label));
                    m_controls[static_cast<std::size_t>(s.id)] = button;
                    continue;
                }
                r.setWidth(std::max(r.width(), needed));
                button->setText(label);
                w = button;
                break;
            }
        }
        w->setGeometry(r);
        w->setAccessibleName(Plain(label));
        m_controls[static_cast<std::size_t>(s.id)] = w;
    }

    // The buttons' own texts read "Characters." beside the number.
    static_cast<QLabel*>(control(Ctl::Characters))->setBuddy(control(Ctl::TruncateMax));

    m_modeGroup->addButton(Button(Ctl::ModeRestore), 0);
    m_modeGroup->addButton(Button(Ctl::ModePrepare), 1);
    m_modeGroup->addButton(Button(Ctl::ModeCheckTag), 2);
    m_backupGroup->addButton(Button(Ctl::BackupSfv), 0);
    m_backupGroup->addButton(Button(Ctl::BackupM3u), 1);
    m_backupGroup->addButton(Button(Ctl::BackupFile), 2);
    m_yearGroup->addButton(Button(Ctl::PreserveYear), 0);
    m_yearGroup->addButton(Button(Ctl::StripYear), 1);

    control(Ctl::Analyze)->setVisible(false);
    control(Ctl::Accept)->setVisible(false);
    control(Ctl::No)->setVisible(false);
    control(Ctl::Abort)->setEnabled(false);
    control(Ctl::Pause)->setEnabled(false);

    connect(Button(Ctl::Process), &QAbstractButton::clicked, this, &CKestrowDlg::StartJob);
    connect(Button(Ctl::Analyze), &QAbstractButton::clicked, this, &CKestrowDlg::StartJob);
    connect(Button(Ctl::Accept), &QAbstractButton::clicked, this, [this] { m_session->Accept(); });
    connect(Button(Ctl::No), &QAbstractButton::clicked, this, [this] { m_session->Reject(); });
    connect(Button(Ctl::Abort), &QAbstractButton::clicked, this, &CKestrowDlg::AbortPressed);
    connect(Button(Ctl::Pause), &QAbstractButton::clicked, this, &CKestrowDlg::PausePressed);
    connect(Button(Ctl::Help), &QAbstractButton::clicked, this, &CKestrowDlg::ShowAbout);
    connect(Button(Ctl::AddFile), &QAbstractButton::clicked, this, &CKestrowDlg::AddRule);
    connect(Button(Ctl::ModifyFile), &QAbstractButton::clicked, this, &CKestrowDlg::ModifyRule);
    connect(Button(Ctl::RemoveSelected), &QAbstractButton::clicked, this, &CKestrowDlg::RemoveRule);
    connect(Button(Ctl::SelectAll), &QAbstractButton::clicked, this, [this] { m_dirList->selectAll(); });
    connect(Button(Ctl::Update), &QAbstractButton::clicked, this, [this] { FillDirList(m_treePath); });
    connect(Button(Ctl::UpdateTree), &QAbstractButton::clicked, this, &CKestrowDlg::RebuildTree);
    connect(m_tree, &CDirTree::pathRemembered, this, [this](const QString& path) { m_treePath = path; });
    // The folder opened at start-up is gone: the list shows what is left of it, as the tree does.
    // Tree and list are read at the same time; whichever ends last decides.
    auto followTree = [this] {
        if (!m_startOpen || !m_treeOpened || !m_listFailed || m_dirModel->Filling()) return;
        m_startOpen = false;
        if (!m_treePath.isEmpty() && m_treePath != m_listFolder) FillDirList(m_treePath);
    };
    connect(m_tree, &CDirTree::treeOpened, this, [this, followTree] {
        m_treeOpened = true;
        followTree();
    });
    connect(m_dirModel, &DirListModel::progress, this, &CKestrowDlg::ShowListProgress);
    connect(m_dirModel, &DirListModel::filled, this, [this, followTree](bool ok) {
        m_listFailed = !ok;
        ShowListProgress();
        followTree();
        if (ok) m_startOpen = false;
    });
}

QAbstractButton* CKestrowDlg::Button(Ctl c) const {
    return static_cast<QAbstractButton*>(control(c));
}

bool CKestrowDlg::Checked(Ctl c) const {
    return Button(c)->isChecked();
}

void CKestrowDlg::ConnectOptions() {
    for (const ControlLayout& s : kControls) {
        if (s.kind != Kind::Check || !s.field) continue;
        connect(Button(s.id), &QAbstractButton::toggled, this, [this, field = s.field, id = s.id](bool on) {
            if (m_loading) return;
            m_options.*field = on ? 1 : 0;
            FollowCheckBox(id);
        });
    }
    connect(Button(Ctl::ConfirmChanges), &QAbstractButton::toggled, this, [this](bool on) {
        if (m_loading) return;
        m_options.ConfirmChanges = on ? 1 : 0;
        m_session->SetConfirmChanges(on);
        ShowConfirmButtons();
    });
    connect(Button(Ctl::SuppressAlerts), &QAbstractButton::toggled, this, [this](bool on) {
        if (m_loading) return;
        m_options.SuppressAlerts = on ? 1 : 0;
        m_session->SetSuppressAlerts(on);
    });
    connect(m_modeGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (m_loading || !on) return;
        m_options.lastProcessOption = id;
        RefreshControlStates();
    });
    connect(m_backupGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!m_loading && on) m_options.prepareBackupTo = id;
    });
    connect(m_yearGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!m_loading && on) m_options.preserveRlsyear = id;
    });
    connect(static_cast<QLineEdit*>(control(Ctl::TruncateMax)), &QLineEdit::textChanged, this,
            [this](const QString& text) {
                if (m_loading) return;
                bool ok = false;
                const int value = text.toInt(&ok, 10);
                m_options.TruncateMaxChars = ok ? value : 0;
            });
}

void CKestrowDlg::LoadControls() {
    m_loading = true;
    for (const ControlLayout& s : kControls) {
        if (s.kind == Kind::Check && s.field) Button(s.id)->setChecked(m_options.*s.field != 0);
    }
    Button(Ctl::NotInNfo)->setChecked(m_options.preserveVAtagException1 && m_options.preserveVAtag);
    Button(Ctl::ConfirmChanges)->setChecked(m_options.ConfirmChanges != 0);
    Button(Ctl::SuppressAlerts)->setChecked(m_options.SuppressAlerts != 0);
    const int mode = m_options.lastProcessOption == 0 || m_options.lastProcessOption == 1
                         ? m_options.lastProcessOption
                         : 2;
    m_modeGroup->button(mode)->setChecked(true);
    const int backup =
        m_options.prepareBackupTo == 0 || m_options.prepareBackupTo == 1 ? m_options.prepareBackupTo : 2;
    m_backupGroup->button(backup)->setChecked(true);
    m_yearGroup->button(m_options.preserveRlsyear == 0 ? 0 : 1)->setChecked(true);
    static_cast<QLineEdit*>(control(Ctl::TruncateMax))->setText(QString::number(m_options.TruncateMaxChars));
    m_specialList->clear();
    for (const std::string& line : m_options.specialFileLines)
        m_specialList->addItem(QString::fromStdString(line));
    m_loading = false;
}

void CKestrowDlg::Enable(Ctl c, bool on) {
    control(c)->setEnabled(on);
    if (QLabel* text = m_wrapLabels[static_cast<std::size_t>(c)]) text->setEnabled(on);
}

void CKestrowDlg::EnableAll(std::initializer_list<Ctl> controls, bool on) {
    for (Ctl c : controls) Enable(c, on);
}

void CKestrowDlg::FollowCheckBox(Ctl c) {
    const ProcessOptions& o = m_options;
    switch (c) {
        case Ctl::Truncate:
            for (Ctl t : kTruncationGroup) Enable(t, o.Truncate != 0);
            Enable(Ctl::NotInNfo, o.Truncate && o.preserveVAtag);
            break;
        case Ctl::StripVaAtBeginning:
            Enable(Ctl::NotInNfo, o.Truncate && o.preserveVAtag);
            break;
        case Ctl::RemoveDots:
            Enable(Ctl::RemoveDotsFront, o.RemoveDotsInDirs != 0);
            break;
        case Ctl::StripThe:
            Enable(Ctl::StripTheMove, o.StripTHEtagDirs != 0);
            Enable(Ctl::StripTheBrackets, o.StripTHEtagDirs && o.StripTHEtagDirsMove);
            break;
        case Ctl::StripTheMove:
            Enable(Ctl::StripTheBrackets, o.StripTHEtagDirsMove != 0);
            break;
        case Ctl::PrepareCrc:
            EnableAll({Ctl::PrepareTagline, Ctl::PrepareTrust}, o.PrepareCRCCheck != 0);
            break;
        case Ctl::RestoreCrc:
            EnableAll({Ctl::RestoreTagline, Ctl::RestoreTrust}, o.RestoreCRCCheck != 0);
            break;
        case Ctl::DeleteTempFiles:
            // The rule list is edited where it takes effect, at once rather than at the next
            // change of mode.
            for (Ctl t : kSpecialControls) Enable(t, o.DeleteTempFiles != 0);
            break;
        default:
            break;
    }
}

void CKestrowDlg::ShowConfirmButtons() {
    const bool confirm = m_options.ConfirmChanges != 0;
    control(Ctl::Process)->setVisible(!confirm);
    control(Ctl::Analyze)->setVisible(confirm);
    control(Ctl::Accept)->setVisible(confirm);
    control(Ctl::No)->setVisible(confirm);
}

void CKestrowDlg::RefreshControlStates() {
    const ProcessOptions& o = m_options;
    EnableAll(
        {Ctl::ConfirmChanges, Ctl::SuppressAlerts, Ctl::ModeRestore, Ctl::ModePrepare, Ctl::ModeCheckTag},
        true);
    auto check = [this](Ctl c) {
        const QSignalBlocker block(Button(c));
        Button(c)->setChecked(true);
    };
    const bool truncate = o.Truncate != 0;
    switch (o.lastProcessOption) {
        case 0:
            check(Ctl::ModeRestore);
            for (Ctl c : kPrepareGroup) Enable(c, false);
            EnableAll({Ctl::RestoreTruncated, Ctl::RestoreWithout, Ctl::RestoreCrc}, true);
            EnableAll({Ctl::RestoreTagline, Ctl::RestoreTrust}, o.RestoreCRCCheck != 0);
            break;
        case 1:
            for (Ctl c : kRestoreGroup) Enable(c, false);
            check(Ctl::ModePrepare);
            EnableAll({Ctl::BackupSfv, Ctl::BackupM3u, Ctl::BackupFile, Ctl::StripVA, Ctl::Truncate,
                       Ctl::DeleteTempFiles, Ctl::GenerateM3u, Ctl::PrepareCrc, Ctl::ReplaceDots,
                       Ctl::RemoveDots, Ctl::StripThe},
                      true);
            Enable(Ctl::RemoveDotsFront, o.RemoveDotsInDirs != 0);
            for (Ctl c : kTruncationGroup) Enable(c, truncate);
            // The exception only means something while "VA" is stripped.
            Enable(Ctl::NotInNfo, truncate && o.preserveVAtag);
            for (Ctl c : kSpecialControls) Enable(c, o.DeleteTempFiles != 0);
            Enable(Ctl::StripTheMove, o.StripTHEtagDirs != 0);
            Enable(Ctl::StripTheBrackets, o.StripTHEtagDirs && o.StripTHEtagDirsMove);
            EnableAll({Ctl::PrepareTagline, Ctl::PrepareTrust}, o.PrepareCRCCheck != 0);
            break;
        default:
            for (Ctl c : kRestoreGroup) Enable(c, false);
            check(Ctl::ModeCheckTag);
            EnableAll({Ctl::BackupSfv, Ctl::BackupM3u, Ctl::BackupFile, Ctl::StripVA, Ctl::Truncate,
                       Ctl::ReplaceDots, Ctl::RemoveDots, Ctl::RemoveDotsFront, Ctl::StripThe,
                       Ctl::StripTheMove, Ctl::StripTheBrackets},
                      false);
            for (Ctl c : kTruncationGroup) Enable(c, false);
            EnableAll({Ctl::DeleteTempFiles, Ctl::GenerateM3u, Ctl::PrepareCrc}, true);
            for (Ctl c : kSpecialControls) Enable(c, o.DeleteTempFiles != 0);
            EnableAll({Ctl::PrepareTagline, Ctl::PrepareTrust}, o.PrepareCRCCheck != 0);
            break;
    }
    ShowConfirmButtons();
    EnableAll({Ctl::Process, Ctl::Analyze}, true);
    EnableAll({Ctl::Accept, Ctl::No}, false);
}

void CKestrowDlg::EnterJobState() {
    EnableAll({Ctl::ModeRestore, Ctl::ModePrepare, Ctl::ModeCheckTag}, false);
    for (Ctl c : kPrepareGroup) Enable(c, false);
    for (Ctl c : kRestoreGroup) Enable(c, false);
    for (Ctl c : kSpecialControls) Enable(c, false);
    EnableAll({Ctl::Process, Ctl::Analyze, Ctl::Accept, Ctl::No}, false);
}

std::vector<std::string> CKestrowDlg::SelectedNames() const {
    // Rows stand for the listed folder's subdirectories by position; a list still filling holds
    // only the rows shown, and a job processes exactly the ones selected among them.
    QModelIndexList rows = m_dirList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows) names.push_back(m_dirModel->Row(index.row()).name);
    return names;
}

void CKestrowDlg::StartJob() {
    if (m_session->Active() || m_closing) return;
    JobRequest request;
    request.folder = m_dirModel->folder().empty() ? m_listFolder.toStdString() : m_dirModel->folder();
    request.names = SelectedNames();
    request.options = m_options;
    if (m_setup.run.active) {
        request.unattendedMode = m_setup.mode;
        request.unattendedDir = m_setup.run.where.directory;
        request.unattendedName = m_setup.run.where.name;
        // One unattended job: a later start is an ordinary one.
        m_setup.run.active = false;
    }
    m_session->Start(std::move(request));
}

void CKestrowDlg::PausePressed() {
    QAbstractButton* pause = Button(Ctl::Pause);
    if (pause->text().compare(QString::fromLatin1(kContinueCaption.data(), kContinueCaption.size()),
                              Qt::CaseInsensitive) == 0) {
        pause->setText(QString::fromLatin1(kPauseCaption.data(), kPauseCaption.size()));
        m_session->Continue();
        return;
    }
    m_session->Pause();
    EnableAll({Ctl::Abort, Ctl::Pause}, false);
}

void CKestrowDlg::AbortPressed() {
    QAbstractButton* pause = Button(Ctl::Pause);
    if (pause->text().compare(QString::fromLatin1(kContinueCaption.data(), kContinueCaption.size()),
                              Qt::CaseInsensitive) == 0) {
        pause->setText(QString::fromLatin1(kPauseCaption.data(), kPauseCaption.size()));
    }
    m_session->Abort();
    EnableAll({Ctl::Abort, Ctl::Pause}, false);
}

void CKestrowDlg::ShowAbout() {
    CAboutDlg about(this, m_hu, m_vu);
    about.exec();
}

bool CKestrowDlg::RunRuleDialog(CTempFileDlg& dialog) {
    if (m_ruleDialog) return m_ruleDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void CKestrowDlg::SyncSpecialLines() {
    m_options.specialFileLines.clear();
    for (int i = 0; i < m_specialList->count(); ++i)
        m_options.specialFileLines.push_back(m_specialList->item(i)->text().toStdString());
}

void CKestrowDlg::AddRule() {
    CTempFileDlg dialog(this);
    dialog.Set(QString(), 0, QString());
    if (!RunRuleDialog(dialog)) return;
    const QString line = BuildRuleLine(dialog.operation(), dialog.fileName(), dialog.targetName());
    if (line.isEmpty()) return;
    // The list keeps its lines sorted without regard to case; a new line goes after its equals.
    const std::string key = line.toStdString();
    int at = 0;
    while (at < m_specialList->count() &&
           platform::ICompare(m_specialList->item(at)->text().toStdString(), key) <= 0)
        ++at;
    m_specialList->insertItem(at, line);
    SyncSpecialLines();
}

void CKestrowDlg::ModifyRule() {
    QListWidgetItem* item = m_specialList->currentItem();
    if (!item || !item->isSelected()) return;
    const RuleLineParts parts = SplitRuleLine(item->text());
    CTempFileDlg dialog(this);
    dialog.Set(parts.fileName, parts.operation, parts.targetName);
    if (!RunRuleDialog(dialog)) return;
    const QString line = BuildRuleLine(dialog.operation(), dialog.fileName(), dialog.targetName());
    if (line.isEmpty()) return;
    item->setText(line);
    SyncSpecialLines();
}

void CKestrowDlg::RemoveRule() {
    QListWidgetItem* item = m_specialList->currentItem();
    if (!item || !item->isSelected()) return;
    delete m_specialList->takeItem(m_specialList->row(item));
    SyncSpecialLines();
}

void CKestrowDlg::RebuildTree() {
    m_tree->BuildTree(m_listFolder.isEmpty() ? m_treePath : m_listFolder);
}

void CKestrowDlg::FillDirList(const QString& folder) {
    if (folder.isEmpty()) return;
    m_listFolder = WithSlash(folder);
    m_listFailed = false;
    m_dirModel->Fill(m_listFolder.toStdString());
    ShowListProgress();
}

void CKestrowDlg::ShowListProgress() {
    if (m_dirModel->Filling())
        m_dirList->setCursor(Qt::BusyCursor);
    else
        m_dirList->unsetCursor();
    // A running job owns the status line.
    if (m_session->Active()) return;
    if (m_dirModel->Filling()) {
        const int expected = m_dirModel->expected();
        m_progress->setRange(0, std::max(0, expected));
        m_progress->setValue(m_dirModel->rowCount());
        m_status->setText(expected < 0 ? tr("Reading %1").arg(m_listFolder)
                                       : tr("Reading %1: %2 of %3 folders")
                                             .arg(m_listFolder)
                                             .arg(m_dirModel->rowCount())
                                             .arg(expected));
        return;
    }
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    m_status->setText(m_listFailed ? tr("Cannot read %1").arg(m_listFolder)
                                   : tr("%1: %2 folders").arg(m_listFolder).arg(m_dirModel->rowCount()));
}

bool CKestrowDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        if (watched == m_tree) {
            RebuildTree();
            return true;
        }
        if (watched == m_dirList) {
            FillDirList(m_treePath);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CKestrowDlg::OnJobState(JobState state) {
    if (state == JobState::Running) {
        EnterJobState();
        m_progress->setRange(0, 0);
        m_status->setText(tr("Running"));
    } else {
        RefreshControlStates();
        m_progress->setRange(0, 1);
        m_progress->setValue(m_progress->maximum());
    }
}

void CKestrowDlg::OnAbortPause(bool enabled) {
    EnableAll({Ctl::Abort, Ctl::Pause}, enabled);
}

void CKestrowDlg::OnAcceptReject(bool enabled) {
    EnableAll({Ctl::Accept, Ctl::No}, enabled);
}

void CKestrowDlg::OnPauseCaption(const QString& caption) {
    Button(Ctl::Pause)->setText(caption);
}

void CKestrowDlg::OnSelectAllDirs() {
    m_dirList->selectAll();
}

void CKestrowDlg::OnRefillDirList() {
    FillDirList(m_listFolder);
}

void CKestrowDlg::OnCloseAfterRun() {
    m_closeAfterRun = true;
}

void CKestrowDlg::OnJobFinished() {
    m_session->Join();
    OnProgress(m_lastProgress);
    if (m_closing || m_closeAfterRun) close();
}

void CKestrowDlg::OnProgress(const ProgressInfo& p) {
    m_lastProgress = p;
    QString text;
    if (!m_session->Active() || m_session->Finished())
        text = tr("Finished");
    else if (!p.currentFile.empty())
        text = tr("Checking %1").arg(QString::fromStdString(p.directory + p.currentFile));
    else
        text = QString::fromStdString(p.directory);
    text += tr("  |  %1 files, %2 checked")
                .arg(p.files)
                .arg(QString::fromStdString(platform::FormatByteSize(p.bytes)));
    if (p.seconds > 0.05) {
        const auto rate = static_cast<std::uint64_t>(static_cast<double>(p.bytes) / p.seconds);
        text += tr(", %1/s").arg(QString::fromStdString(platform::FormatByteSize(rate)));
    }
    if (m_closing) text = tr("Closing when the current step has ended...  ") + text;
    m_status->setText(text);
}

void CKestrowDlg::OnLogGrew() {
    m_log->FollowEnd();
}

void CKestrowDlg::SaveOptionsNow() {
    if (m_saved) return;
    m_saved = true;
    if (!m_treePath.isEmpty()) m_options.lastDir = m_treePath.toStdString();
    // A failed save is silent here; the old file stays whole, as the save is one rename.
    (void)SaveOptions(m_setup.settings, m_options);
}

void CKestrowDlg::closeEvent(QCloseEvent* event) {
    if (m_session->Active() && !m_session->Finished()) {
        // The pass stops at its next check and a pending confirmation counts as refused; the
        // window closes once every worker has ended.
        m_closing = true;
        m_session->Shutdown();
        m_host->Shutdown();
        m_status->setText(tr("Closing when the current step has ended..."));
        event->ignore();
        return;
    }
    m_session->Join();
    SaveOptionsNow();
    event->accept();
}

}  // namespace kestrow
