// The About box.
#include "ui/caboutdlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/art.h"

namespace kestrow {

QIcon KestrowIcon() {
    return ArtIcon(Art::Program);
}

CAboutDlg::CAboutDlg(QWidget* parent, double hu, double vu) : QDialog(parent) {
    setWindowTitle(tr("About Kestrow"));
    setFixedSize(static_cast<int>(std::lround(235 * hu)), static_cast<int>(std::lround(278 * vu)));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(KestrowIcon().pixmap(32, 32));
    icon->setAccessibleName(tr("Kestrow"));
    top->addWidget(icon);
    auto* version = new QLabel(tr("Kestrow Version 1.28"), this);
    top->addWidget(version, 1);
    layout->addLayout(top);

    const QString notes[] = {
        tr("Notes:"),
        tr("Selecting Check And Tag Only is eqvivalent to \"Check/Prepare Selected Dirs\" with all renaming "
           "options "
           "deselected. If you Select \"check/prepare\" renaming will occurr regardless if the integrity "
           "checks fail "
           "due to bad CRC or missing files"),
        tr("Renaming options for \"prepare\" will only be applied correctly to dirs/files where the "
           "attributes that "
           "may be present appear in standard order ie XX YEAR TAG"),
        tr("(where XX can be anything, and standard delimiters such as whitespace and underscore between "
           "each "
           "attribute and inside of XX)."),
        tr("Default setting for \"Truncate files/dirs >\" is 64 characters (which is max for ISO-9660 + "
           "Joliet)"),
        tr("TAGs: can be defined in kestrow.ini. Any tag  found in a dir or filename followed by \"-INT\" "
           "will "
           "automaticly be recognized, there is no need to separately specify \"-INT\" in the ini file"),
        tr("You can set you personal tagline prefix/suffix by editing TaglinePrefix in kestrow.ini"),
        tr("SEE ReadMe.txt FOR MORE INFORMATION AND KNOWN ISSUES!"),
    };
    for (const QString& note : notes) {
        auto* label = new QLabel(note, this);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace kestrow
