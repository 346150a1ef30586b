// The rows of the directory list: one per subdirectory of a folder, in the folder's scan order,
// with its playlist and checksum-list marks and the size of its own files. A folder is read on a
// worker thread; its rows arrive in batches, always in their final order, and a new fill cancels
// the one in progress.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrow {

struct DirRow {
    std::string name;
    bool m3u = false;
    bool sfv = false;
    std::uint64_t size = 0;
};

class DirListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { M3uColumn, SfvColumn, NameColumn, SizeColumn, ColumnCount };

    explicit DirListModel(QObject* parent = nullptr);
    ~DirListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Empties the list and starts reading the folder's subdirectories; a fill in progress is
    // cancelled and its late rows are dropped.
    void Fill(const std::string& folder);
    void Cancel();
    bool Filling() const { return m_filling; }
    // The folder the rows belong to (ends with "/"), empty before the first fill.
    const std::string& folder() const { return m_folder; }
    // The subdirectory a row stands for; rows map to the folder's subdirectories by position.
    const DirRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    // The number of subdirectories the folder has (known once it was listed), -1 before that.
    int expected() const { return m_expected; }

signals:
    void progress(int rows, int expected);
    // The fill ended; false when the folder could not be listed.
    void filled(bool ok);

private:
    struct Batch;
    void Receive(std::uint64_t generation, std::shared_ptr<Batch> batch);

    std::vector<DirRow> m_rows;
    std::string m_folder;
    std::uint64_t m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    bool m_filling = false;
    int m_expected = -1;
    QIcon m_marks[4];
};

}  // namespace kestrow
