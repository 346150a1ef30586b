// The log window's model.
#include "ui/loglistmodel.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace kestrow {

QColor LogQColor(LogColour colour) {
    const LogColourInfo& info = ColourInfo(colour);
    return QColor(info.red, info.green, info.blue);
}

LogListModel::LogListModel(std::size_t capacity, QObject* parent)
    : QAbstractListModel(parent), m_lines(capacity) {}

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.Size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_lines.Size())
        return {};
    const LogLine& line = m_lines.At(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case Qt::ToolTipRole:
            if (role == Qt::ToolTipRole && line.text.size() < 120) return {};
            return QString::fromUtf8(line.text.data(), static_cast<qsizetype>(line.text.size()));
        case Qt::ForegroundRole:
            return QBrush(LogQColor(line.foreground));
        case Qt::BackgroundRole:
            return QBrush(LogQColor(line.background));
        case ForegroundIndexRole:
            return static_cast<int>(line.foreground);
        case BackgroundIndexRole:
            return static_cast<int>(line.background);
        default:
            return {};
    }
}

void LogListModel::SetFont(const QFont& font) {
    m_metrics.emplace(font);
    m_maxExtent = 0;
    m_measureFrom = 0;
}

void LogListModel::Measure(const std::string& text) {
    // Only a line longer than every one measured so far is measured: measuring them all would
    // cost more than the rest of adding them. The view adds a little room for wide letters.
    if (!m_metrics || text.size() <= m_measureFrom) return;
    m_measureFrom = text.size();
    const int width =
        m_metrics->horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (width <= m_maxExtent) return;
    m_maxExtent = width;
    emit ExtentGrown(m_maxExtent);
}

void LogListModel::AddRun(const std::vector<LogOp*>& run) {
    if (run.empty()) return;
    const std::size_t shed = m_lines.ShedFor(run.size());
    if (shed > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(shed) - 1);
        m_lines.DropOldest(shed);
        endRemoveRows();
    }
    const int from = static_cast<int>(m_lines.Size());
    beginInsertRows(QModelIndex(), from, from + static_cast<int>(run.size()) - 1);
    for (const LogOp* op : run) m_lines.AddWithId(op->id, op->foreground, op->background, op->text);
    endInsertRows();
    for (std::size_t i = static_cast<std::size_t>(from); i < m_lines.Size(); ++i) Measure(m_lines.At(i).text);
}

void LogListModel::Apply(std::span<LogOp> ops) {
    // New lines are announced to the views once for the whole batch; appends go to their line,
    // whether it is shown already or arrives in this batch.
    std::vector<LogOp*> run;
    run.reserve(ops.size());
    int firstChanged = -1;
    int lastChanged = -1;
    for (LogOp& op : ops) {
        if (op.kind == LogOp::Kind::Add) {
            run.push_back(&op);
            continue;
        }
        // Identities ascend through the run.
        auto at = std::lower_bound(run.begin(), run.end(), op.id,
                                   [](const LogOp* line, LogLineId id) { return line->id < id; });
        if (at != run.end() && (*at)->id == op.id) {
            (*at)->text += op.text;
            (*at)->foreground = LogColour::Black;
            (*at)->background = LogColour::White;
            continue;
        }
        const std::size_t index = m_lines.IndexOf(op.id);
        if (index < m_lines.Size()) {
            m_lines.Append(op.id, op.text, op.newId);
            Measure(m_lines.At(index).text);
            const int row = static_cast<int>(index);
            firstChanged = firstChanged < 0 ? row : std::min(firstChanged, row);
            lastChanged = std::max(lastChanged, row);
            continue;
        }
        // The line is gone: the text becomes a new line.
        op.kind = LogOp::Kind::Add;
        op.id = op.newId;
        op.foreground = LogColour::Black;
        op.background = LogColour::White;
        run.push_back(&op);
    }
    if (firstChanged >= 0) emit dataChanged(index(firstChanged), index(lastChanged));
    AddRun(run);
}

void LogListModel::Clear() {
    beginResetModel();
    m_lines.Clear();
    endResetModel();
    m_maxExtent = 0;
    m_measureFrom = 0;
    emit ExtentGrown(0);
}

QString LogListModel::CopyText(std::vector<int> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::string out;
    for (int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= m_lines.Size()) continue;
        std::string text = m_lines.At(static_cast<std::size_t>(row)).text;
        std::size_t begin = text.find_first_not_of("\r\n");
        std::size_t end = text.find_last_not_of("\r\n");
        text = begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
        if (text.find('\n') == std::string::npos) text += '\n';
        std::replace(text.begin(), text.end(), '\t', ' ');
        out += text;
    }
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

}  // namespace kestrow
