// The log window's lines as a Qt model: each line keeps its text and its two colours, so a line's
// text is never mixed up with its colouring.
#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QString>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/loglinemodel.h"

namespace kestrow {

// One change to the log, made on a worker thread and applied on the user-interface thread.
struct LogOp {
    enum class Kind { Add, Append };
    Kind kind = Kind::Add;
    // The new line (Add) or the line that takes the text (Append).
    LogLineId id = kNoLogLine;
    // Append: the line the text becomes when the old one is gone.
    LogLineId newId = kNoLogLine;
    LogColour foreground = LogColour::Black;
    LogColour background = LogColour::White;
    std::string text;
};

class LogListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // Far more than a job shows at once; the oldest lines go in blocks of 20 beyond it.
    static constexpr std::size_t kCapacity = 200000;
    // Roles beside the display and colour roles: the colour indices of a line.
    static constexpr int ForegroundIndexRole = Qt::UserRole + 1;
    static constexpr int BackgroundIndexRole = Qt::UserRole + 2;

    explicit LogListModel(std::size_t capacity = kCapacity, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Applies the changes in order (the texts of appends are moved into their lines).
    void Apply(std::span<LogOp> ops);
    void Clear();
    const LogLineModel& lines() const { return m_lines; }

    // The widest line so far in the font last given, for the horizontal scroll range.
    void SetFont(const QFont& font);
    int maxExtent() const { return m_maxExtent; }

    // The clipboard text of the given rows, in ascending order: each line with its CR and LF
    // trimmed at both ends, ended by LF unless it holds one, tabs as spaces.
    QString CopyText(std::vector<int> rows) const;

signals:
    void ExtentGrown(int extent);

private:
    void AddRun(const std::vector<LogOp*>& run);
    void Measure(const std::string& text);

    LogLineModel m_lines;
    std::optional<QFontMetrics> m_metrics;
    int m_maxExtent = 0;
    // The length in bytes of the longest line measured.
    std::size_t m_measureFrom = 0;
};

// The colour of a log colour index.
QColor LogQColor(LogColour colour);

}  // namespace kestrow
