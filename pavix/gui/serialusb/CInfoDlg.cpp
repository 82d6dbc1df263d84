#include "pavix/gui/serialusb/CInfoDlg.h"

#include "pavix/config/IfInfoRows.h"
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/PageInputs.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pavix::gui {

CInfoDlg::CInfoDlg(const IfConfigRecord& record, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(kCaption));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("infoList"));
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QStringLiteral("No"), QStringLiteral("Name"), QStringLiteral("Value")});
    list_->setColumnWidth(0, 30);
    list_->setColumnWidth(1, 180);
    list_->setColumnWidth(2, 260);
    for (const InfoRow& row : InformationRows(record))
        list_->addTopLevelItem(new QTreeWidgetItem({QString::number(row.number), ToQString(row.name),
                                                    BoardText(row.value)}));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(520, 600);
}

} // namespace pavix::gui
