#include "corvane/shell/CAboutDlg.h"

#include "corvane/shell/AboutDialogIds.h"
#include "corvane/shell/ShellCommon.h"
#include "platform/qt/ControlIds.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(shell_text::kAboutTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* name = new QLabel(QString::fromUtf8(shell_text::kWindowTitle), this);
    name->setObjectName(QStringLiteral("programName"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    platform::qt::SetControlId(ok, about_id::kOk);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(name, 1);
    row->addWidget(ok, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace corvane
