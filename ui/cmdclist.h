// The log window: a list of coloured lines that follows its end, with Select All, Copy and Clear
// in its context menu (and on Ctrl+A, Ctrl+C). A list of uniform rows: laying out many lines then
// costs next to nothing.
#pragma once

#include <QListView>

#include "ui/loglistmodel.h"

namespace kestrow {

class CMdcList : public QListView {
    Q_OBJECT
public:
    explicit CMdcList(LogListModel& model, QWidget* parent = nullptr);

    LogListModel& logModel() { return m_model; }
    // The clipboard gets the selected lines; nothing changes when none is selected.
    void Copy();
    void Clear() { m_model.Clear(); }
    // Shows the end of the log, as every added line does.
    void FollowEnd();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    LogListModel& m_model;
};

}  // namespace kestrow
