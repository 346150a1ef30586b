// The rule dialog.
#include "ui/ctempfiledlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "rename/specialfilerules.h"

namespace kestrow {

namespace {

constexpr int kMaxName = 260;

QString Prefix(int operation) {
    switch (operation) {
        case 1:
            return QString::fromLatin1(kDeleteRulePrefix.data(), kDeleteRulePrefix.size());
        case 2:
            return QString::fromLatin1(kIgnoreRulePrefix.data(), kIgnoreRulePrefix.size());
        case 3:
            return QString::fromLatin1(kTruncateRulePrefix.data(), kTruncateRulePrefix.size());
        case 4:
            return QString::fromLatin1(kRenameRulePrefix.data(), kRenameRulePrefix.size());
        default:
            return {};
    }
}

const QString kArrow = QString::fromLatin1(kRenameRuleArrow.data(), kRenameRuleArrow.size());

}  // namespace

RuleLineParts SplitRuleLine(const QString& line) {
    RuleLineParts parts;
    const QString prefix = line.left(5);
    for (int op = 1; op <= 4; ++op) {
        if (prefix == Prefix(op)) parts.operation = op;
    }
    const QString rest = line.mid(5);
    if (parts.operation == 4) {
        const qsizetype arrow = rest.indexOf(kArrow);
        parts.fileName = arrow < 0 ? rest : rest.left(arrow);
        parts.targetName = arrow < 0 ? QString() : rest.mid(arrow + kArrow.size());
    } else {
        parts.fileName = rest;
    }
    return parts;
}

QString BuildRuleLine(int operation, const QString& fileName, const QString& targetName) {
    if (operation < 1 || operation > 4) return {};
    QString line = Prefix(operation) + fileName;
    if (operation == 4) line += kArrow + targetName;
    return line;
}

CTempFileDlg::CTempFileDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Tempfile Setup"));
    auto* layout = new QVBoxLayout(this);

    auto* fileLabel = new QLabel(tr("Enter a Filename:"), this);
    m_fileEdit = new QLineEdit(this);
    m_fileEdit->setMaxLength(kMaxName);
    m_fileEdit->setAccessibleName(tr("Enter a Filename:"));
    fileLabel->setBuddy(m_fileEdit);
    layout->addWidget(fileLabel);
    layout->addWidget(m_fileEdit);

    layout->addWidget(new QLabel(tr("Specify Operation:"), this));
    const QString labels[4] = {tr("Delete file(s) (Cannot be undone!)"),
                               tr("Ignore and leave file(s) untouched"),
                               tr("Truncate file(s) if greater than max (see main window)"),
                               tr("Rename file: (NO wildcards allowed)")};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(labels[i], this);
        radio->setAccessibleName(labels[i]);
        group->addButton(radio, i + 1);
        layout->addWidget(radio);
        m_radios[static_cast<std::size_t>(i)] = radio;
        connect(radio, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Choose(i + 1);
        });
    }
    m_targetEdit = new QLineEdit(this);
    m_targetEdit->setMaxLength(kMaxName);
    m_targetEdit->setEnabled(false);
    m_targetEdit->setAccessibleName(tr("Rename file: (NO wildcards allowed)"));
    layout->addWidget(m_targetEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CTempFileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTempFileDlg::reject);
    layout->addWidget(buttons);

    auto* note =
        new QLabel(tr("Note: files of type *.jpg, *.gif, *.txt and zero-byte files are always ignored, "
                      "you do not need to add them!"),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);
}

void CTempFileDlg::Set(const QString& fileName, int operation, const QString& targetName) {
    m_fileName = fileName;
    m_targetName = targetName;
    m_fileEdit->setText(fileName);
    m_targetEdit->setText(targetName);
    m_operation = 0;
    m_targetEdit->setEnabled(false);
    if (operation >= 1 && operation <= 4) operationButton(operation)->setChecked(true);
}

void CTempFileDlg::Choose(int operation) {
    m_operation = operation;
    m_targetEdit->setEnabled(operation == 4);
}

void CTempFileDlg::accept() {
    m_fileName = m_fileEdit->text();
    m_targetName = m_targetEdit->text();
    QDialog::accept();
}

}  // namespace kestrow
