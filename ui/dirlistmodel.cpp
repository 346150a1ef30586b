// The directory list's rows, read on a worker thread.
#include "ui/dirlistmodel.h"

#include <QCoreApplication>
#include <QPointer>
#include <chrono>
#include <thread>

#include "content/dircontents.h"
#include "platform/bytesize.h"
#include "ui/art.h"

namespace kestrow {

struct DirListModel::Batch {
    std::vector<DirRow> rows;
    int expected = -1;
    bool done = false;
    bool ok = true;
};

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

DirListModel::DirListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_marks[0] = ArtIcon(Art::M3uYes);
    m_marks[1] = ArtIcon(Art::M3uNo);
    m_marks[2] = ArtIcon(Art::SfvYes);
    m_marks[3] = ArtIcon(Art::SfvNo);
}

DirListModel::~DirListModel() {
    Cancel();
}

int DirListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DirListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DirListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const DirRow& row = Row(index.row());
    switch (index.column()) {
        case M3uColumn:
            if (role == Qt::DecorationRole) return m_marks[row.m3u ? 0 : 1];
            // The marks are pictures; a screen reader reads what they say.
            if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
                return row.m3u ? tr("M3U present") : tr("No M3U");
            break;
        case SfvColumn:
            if (role == Qt::DecorationRole) return m_marks[row.sfv ? 2 : 3];
            if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
                return row.sfv ? tr("SFV present") : tr("No SFV");
            break;
        case NameColumn:
            if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
                return QString::fromStdString(row.name);
            if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
            break;
        case SizeColumn:
            if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
                return QString::fromStdString(platform::FormatByteSize(row.size));
            if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
            break;
        default:
            break;
    }
    return {};
}

QVariant DirListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case M3uColumn:
            return QStringLiteral("M3U");
        case SfvColumn:
            return QStringLiteral("SFV");
        case NameColumn:
            return QStringLiteral("DirName");
        case SizeColumn:
            return QStringLiteral("Size");
        default:
            return {};
    }
}

void DirListModel::Cancel() {
    if (m_cancel) m_cancel->store(true);
    m_cancel.reset();
    ++m_generation;
    m_filling = false;
}

void DirListModel::Fill(const std::string& folder) {
    Cancel();
    beginResetModel();
    m_rows.clear();
    m_folder = folder;
    if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
    m_expected = -1;
    endResetModel();
    m_filling = true;
    m_cancel = std::make_shared<std::atomic<bool>>(false);

    const std::uint64_t generation = m_generation;
    // A worker's rows reach the model through the application object, which outlives every
    // window; the model may be gone by then.
    auto post = [model = QPointer<DirListModel>(this), generation](std::shared_ptr<Batch> batch) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [model, generation, batch = std::move(batch)] {
                if (model) model->Receive(generation, batch);
            },
            Qt::QueuedConnection);
    };
    // Detached: a folder on a server that stopped answering must not hold the window, not even
    // when it closes. The worker shares nothing with the model but its cancel flag.
    std::thread([post, folder = m_folder, cancel = m_cancel] {
        DirContents dir(folder);
        auto batch = std::make_shared<Batch>();
        if (!dir.Scan()) {
            batch->done = true;
            batch->ok = false;
            post(batch);
            return;
        }
        const std::size_t count = dir.SubdirCount();
        batch->expected = static_cast<int>(count);
        Clock::time_point sent = Clock::now();
        for (std::size_t i = 0; i < count; ++i) {
            if (cancel->load(std::memory_order_relaxed)) return;
            DirRow row;
            row.name = dir.SubdirName(i);
            DirContents sub(folder + row.name);
            // A subdirectory that cannot be read still has its row: it was listed.
            sub.Scan();
            row.m3u = sub.Has(FileClass::M3u);
            row.sfv = sub.Has(FileClass::Sfv);
            row.size = sub.TotalSize();
            batch->rows.push_back(std::move(row));
            // Rows go over a few at a time: often enough to show progress, seldom enough that
            // the window's thread is not kept busy with them.
            if (batch->rows.size() >= 2000 || Clock::now() - sent > std::chrono::milliseconds(40)) {
                const int expected = batch->expected;
                post(std::move(batch));
                batch = std::make_shared<Batch>();
                batch->expected = expected;
                sent = Clock::now();
            }
        }
        batch->done = true;
        post(batch);
    }).detach();
}

void DirListModel::Receive(std::uint64_t generation, std::shared_ptr<Batch> batch) {
    if (generation != m_generation) return;
    m_expected = batch->expected;
    if (!batch->rows.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(batch->rows.size()) - 1);
        for (DirRow& r : batch->rows) m_rows.push_back(std::move(r));
        endInsertRows();
    }
    emit progress(rowCount(), m_expected);
    if (batch->done) {
        m_filling = false;
        m_cancel.reset();
        emit filled(batch->ok);
    }
}

}  // namespace kestrow
