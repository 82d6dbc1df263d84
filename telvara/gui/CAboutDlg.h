// "About TLVR": the program's name and version and an OK button.
#pragma once

#include <QDialog>

namespace telvara {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace telvara
