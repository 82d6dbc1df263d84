#include "telvara/gui/CAboutDlg.h"

#include "telvara/gui/DialogIds.h"
#include "telvara/gui/GuiTexts.h"

#include "platform/qt/ControlIds.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace telvara {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(gui_text::kAboutTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    auto* name = new QLabel(QString::fromLatin1(gui_text::kAboutName), this);
    name->setObjectName(QStringLiteral("programName"));
    auto* line = new QLabel(QString::fromLatin1(gui_text::kAboutLine), this);
    line->setObjectName(QStringLiteral("programLine"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    platform::qt::SetControlId(ok, about_id::kOk);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(line);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace telvara
