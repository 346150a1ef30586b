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

namespace kestrow {

QIcon KestrowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0, 0, 128));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        p.setBrush(QColor(192, 192, 192));
        p.drawEllipse(QRectF(size * 0.42, size * 0.42, size * 0.16, size * 0.16));
        QFont font;
        font.setBold(true);
        font.setPixelSize(std::max(8, size * 5 / 8));
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("K"));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
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
