// The About box and the program's icon.
#pragma once

#include <QDialog>
#include <QIcon>

namespace kestrow {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // Sized in the dialog units of the font it is given.
    CAboutDlg(QWidget* parent, double horizontalUnit, double verticalUnit);
};

// A disc with a "K", drawn rather than shipped as a file.
QIcon KestrowIcon();

}  // namespace kestrow
