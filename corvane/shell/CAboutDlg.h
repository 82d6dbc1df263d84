// "About Corvane": the program name and an OK button.
#pragma once

#include <QDialog>

namespace corvane {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace corvane
