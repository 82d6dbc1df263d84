#include "pavix/gui/CBssInfoDlg.h"

#include "pavix/gui/BssRows.h"
#include "pavix/gui/PavixIds.h"
#include "pavix/link/IfLink.h"
#include "platform/qt/PaintingWaitHook.h"
#include "platform/qt/UserInputHold.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace pavix::gui {

using platform::qt::SetControlId;

namespace {

constexpr const char* kColumns[] = {"No", "SSID", "BSSID", "Mode", "RSSI", "Security"};
constexpr int kWidths[] = {30, 140, 150, 100, 60, 110};
constexpr int kFirstQueryMs = 300;

} // namespace

CBssInfoDlg::CBssInfoDlg(const PavixServices& services, const QString& address, QWidget* parent)
    : QDialog(parent), services_(services), address_(address)
{
    setWindowTitle(QStringLiteral("BSS Information"));
    list_ = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    SetControlId(list_, bss_id::kList);
    QStringList titles;
    int width = 0;
    for (std::size_t c = 0; c < std::size(kColumns); ++c) {
        titles << QString::fromUtf8(kColumns[c]);
        width += kWidths[c];
    }
    list_->setHorizontalHeaderLabels(titles);
    for (int c = 0; c < static_cast<int>(std::size(kWidths)); ++c)
        list_->setColumnWidth(c, kWidths[c]);
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMinimumSize(width + 4, 200);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    SetControlId(progress_, bss_id::kProgress);
    get_ = new QPushButton(QStringLiteral("Get BSS information"), this);
    get_->setAutoDefault(false);
    SetControlId(get_, bss_id::kGet);
    cancel_ = new QPushButton(QString::fromUtf8(text::kCancel), this);
    cancel_->setAutoDefault(false);
    SetControlId(cancel_, bss_id::kCancel);
    connect(get_, &QPushButton::clicked, this, &CBssInfoDlg::OnGetBss);
    connect(cancel_, &QPushButton::clicked, this, &CBssInfoDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(get_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    QTimer::singleShot(kFirstQueryMs, this, &CBssInfoDlg::OnGetBss);
}

void CBssInfoDlg::OnGetBss()
{
    if (querying_)
        return;
    querying_ = true;
    ++queries_;
    list_->setRowCount(0);
    BssTable table;
    LinkResult result;
    {
        platform::qt::ScopedPaintingWaitHook painting;
        platform::qt::UserInputHold hold(this);
        PrinterPort port(platform::systemClock(), services_.devices);
        IfLink link(port);
        result = link.ReadBssOverTcp(address_.toStdString(), [this](int percent) { progress_->setValue(percent); },
                                     table, services_.bssTcpPort);
    }
    const QString details =
        result.ok() ? QString() : QString::fromStdString(DescribeLinkResult(result, kBssReceiveTimeoutMs));
    services_.prompter.information(this, QString::fromUtf8(text::kCaption),
                                   DisplayText(result.ok() ? kBssSucceeded : kBssFailed), details);
    if (result.ok()) {
        const std::vector<BssRow> rows = MakeBssRows(table);
        list_->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const auto columns = rows[static_cast<std::size_t>(r)].columns();
            for (int c = 0; c < static_cast<int>(columns.size()); ++c)
                list_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(columns[static_cast<std::size_t>(c)])));
        }
    }
    progress_->setValue(0);
    querying_ = false;
}

} // namespace pavix::gui
