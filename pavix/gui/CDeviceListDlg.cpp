#include "pavix/gui/CDeviceListDlg.h"

#include "pavix/gui/CBssInfoDlg.h"
#include "pavix/gui/CNetSettingDlg.h"
#include "pavix/gui/CSearchDlg.h"
#include "pavix/gui/PavixIds.h"
#include "platform/qt/UserInputHold.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace pavix::gui {

using platform::qt::SetControlId;
using search::ButtonAction;
using search::SearchMode;

namespace {

QPushButton* button(QWidget* parent, const char* caption, int id)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAutoDefault(false);
    SetControlId(b, id);
    return b;
}

} // namespace

CDeviceListDlg::CDeviceListDlg(const PavixServices& services, SearchMode mode, QWidget* parent)
    : QDialog(parent), services_(services), model_(mode)
{
    setWindowTitle(QString::fromUtf8(mode == SearchMode::Wlan ? text::kWlanConfiguration
                                                                : text::kEthernetConfiguration));
    const int columns = static_cast<int>(std::size(search::kColumnTitles));
    list_ = new QTableWidget(0, columns, this);
    SetControlId(list_, list_id::kList);
    QStringList titles;
    for (const std::string_view title : search::kColumnTitles)
        titles << DisplayText(title);
    list_->setHorizontalHeaderLabels(titles);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    int width = 0;
    for (int c = 0; c < columns; ++c) {
        list_->setColumnWidth(c, search::kColumnWidths[c]);
        width += search::kColumnWidths[c];
    }
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMinimumSize(width + 4, 220);
    connect(list_, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { selectionChanged(row); });

    search_ = button(this, "Search", list_id::kSearch);
    setting_ = button(this, "Setting", list_id::kSetting);
    web_ = button(this, "Configuration(Web)", list_id::kWeb);
    bssInfo_ = button(this, "BSS Info", list_id::kBssInfo);
    certificate_ = button(this, "Certificate upload", list_id::kCertificate);
    exit_ = button(this, text::kExit, list_id::kExit);
    connect(search_, &QPushButton::clicked, this, &CDeviceListDlg::OnSearch);
    connect(setting_, &QPushButton::clicked, this, &CDeviceListDlg::OnSetting);
    connect(web_, &QPushButton::clicked, this, &CDeviceListDlg::OnWeb);
    connect(bssInfo_, &QPushButton::clicked, this, &CDeviceListDlg::OnBssInfo);
    connect(certificate_, &QPushButton::clicked, this, &CDeviceListDlg::OnCertificate);
    connect(exit_, &QPushButton::clicked, this, &CDeviceListDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {search_, setting_, web_, bssInfo_, certificate_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(exit_);
    layout->addLayout(buttons);

    bssInfo_->setVisible(model_.wlanButtonsShown());
    certificate_->setVisible(model_.wlanButtonsShown());
    applyButtons();
}

void CDeviceListDlg::OnSearch()
{
    CSearchDlg search(services_, model_.mode(), this);
    search.exec();
    FillList();
}

void CDeviceListDlg::FillList()
{
    const search::DeviceList& devices = services_.lists.of(model_.mode());
    const QSignalBlocker blocker(list_);
    list_->clearContents();
    list_->setRowCount(0);
    const std::vector<search::DeviceRow>& rows = model_.fill(devices);
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const std::vector<std::string> columns = rows[static_cast<std::size_t>(r)].columns();
        for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(columns[static_cast<std::size_t>(c)]));
            item->setTextAlignment(Qt::AlignCenter);
            if (c == 0 && model_.mode() == SearchMode::Wlan)
                item->setData(Qt::UserRole, rows[static_cast<std::size_t>(r)].capability);
            list_->setItem(r, c, item);
        }
    }
    if (!rows.empty()) {
        list_->setCurrentCell(0, 0);
        list_->selectRow(0);
        list_->setFocus();
    }
    applyButtons();
}

void CDeviceListDlg::selectionChanged(int row)
{
    model_.select(row);
    applyButtons();
}

void CDeviceListDlg::applyButtons()
{
    const search::DeviceButtons& b = model_.buttons();
    setting_->setEnabled(b.setting);
    web_->setEnabled(b.web);
    bssInfo_->setEnabled(b.bssInfo);
    certificate_->setEnabled(b.certificate);
}

void CDeviceListDlg::message(const std::string& text)
{
    services_.prompter.information(this, QString::fromUtf8(text::kCaption), DisplayText(text), QString());
}

void CDeviceListDlg::pause(std::uint32_t ms)
{
    platform::qt::UserInputHold hold(this);
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CDeviceListDlg::OnSetting()
{
    const ButtonAction action = model_.setting();
    if (action.kind != ButtonAction::OpenSetting) {
        message(action.text);
        list_->setFocus();
        return;
    }
    CNetSettingDlg setting(services_, model_.mode(), action.number, this);
    if (setting.exec() == Accepted) {
        pause(researchDelayMs());
        OnSearch();
    } else {
        list_->setFocus();
    }
}

void CDeviceListDlg::OnWeb()
{
    const ButtonAction action = model_.web(services_.lists.of(model_.mode()));
    if (action.kind != ButtonAction::OpenWeb) {
        message(action.text);
        list_->setFocus();
        return;
    }
    services_.urlOpener.open(QUrl(QString::fromStdString(action.text)));
}

void CDeviceListDlg::OnBssInfo()
{
    const ButtonAction action = model_.bssInfo(services_.lists.of(model_.mode()));
    if (action.kind != ButtonAction::OpenBssInfo) {
        message(action.text);
        list_->setFocus();
        return;
    }
    CBssInfoDlg bss(services_, QString::fromStdString(action.text), this);
    bss.exec();
}

void CDeviceListDlg::OnCertificate()
{
    // Certificates go over the serial/USB link only; the core says where.
    message(model_.certificate().text);
    list_->setFocus();
}

} // namespace pavix::gui
