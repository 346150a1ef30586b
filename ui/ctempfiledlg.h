// The "Tempfile Setup" dialog: one special-file rule, its file name, what to do with it and, for
// a rename, the new name.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QLineEdit;
class QRadioButton;

namespace kestrow {

class CTempFileDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTempFileDlg(QWidget* parent = nullptr);

    // operation: 0 none chosen yet, 1 delete, 2 ignore, 3 truncate, 4 rename.
    void Set(const QString& fileName, int operation, const QString& targetName);
    QString fileName() const { return m_fileName; }
    int operation() const { return m_operation; }
    QString targetName() const { return m_targetName; }

    QLineEdit* fileEdit() const { return m_fileEdit; }
    QLineEdit* targetEdit() const { return m_targetEdit; }
    QRadioButton* operationButton(int operation) const {
        return m_radios[static_cast<std::size_t>(operation - 1)];
    }

    void accept() override;

private:
    void Choose(int operation);

    QLineEdit* m_fileEdit;
    QLineEdit* m_targetEdit;
    std::array<QRadioButton*, 4> m_radios{};
    QString m_fileName;
    QString m_targetName;
    int m_operation = 0;
};

// A rule line split by its five-character prefix: the operation (0 for an unknown prefix), the
// file name and, for a rename, the target after " -> ".
struct RuleLineParts {
    int operation = 0;
    QString fileName;
    QString targetName;
};
RuleLineParts SplitRuleLine(const QString& line);
// The line of a rule; empty when no operation was chosen.
QString BuildRuleLine(int operation, const QString& fileName, const QString& targetName);

}  // namespace kestrow
