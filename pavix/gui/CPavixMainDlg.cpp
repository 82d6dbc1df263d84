#include "pavix/gui/CPavixMainDlg.h"

#include "pavix/gui/CDeviceListDlg.h"
#include "pavix/gui/PavixIds.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace pavix::gui {

using platform::qt::SetControlId;

CPavixMainDlg::CPavixMainDlg(const PavixServices& services, QWidget* parent)
    : QDialog(parent), services_(services)
{
    setWindowTitle(QString::fromUtf8(text::kMainTitle));
    auto* layout = new QVBoxLayout(this);
    const auto add = [&](const char* caption, int id, void (CPavixMainDlg::*slot)()) {
        auto* b = new QPushButton(DisplayText(caption), this);
        b->setAutoDefault(false);
        b->setMinimumSize(240, 44);
        SetControlId(b, id);
        connect(b, &QPushButton::clicked, this, slot);
        layout->addWidget(b);
        return b;
    };
    add(text::kEthernetConfiguration, main_id::kEthernet, &CPavixMainDlg::OnEthernet);
    add(text::kWlanConfiguration, main_id::kWlan, &CPavixMainDlg::OnWlan);
    add(text::kSerialUsbConfiguration, main_id::kSerialUsb, &CPavixMainDlg::OnSerialUsb);
    add(text::kExit, main_id::kExit, &CPavixMainDlg::reject);
}

void CPavixMainDlg::openList(search::SearchMode mode)
{
    CDeviceListDlg list(services_, mode, this);
    list.exec();
}

void CPavixMainDlg::OnEthernet()
{
    openList(search::SearchMode::Ethernet);
}

void CPavixMainDlg::OnWlan()
{
    openList(search::SearchMode::Wlan);
}

void CPavixMainDlg::OnSerialUsb()
{
    if (serialUsb_)
        serialUsb_(this);
}

} // namespace pavix::gui
