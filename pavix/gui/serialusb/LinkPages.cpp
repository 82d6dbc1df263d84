#include "pavix/gui/serialusb/LinkPages.h"

#include "pavix/config/CertUpload.h"
#include "pavix/config/ConfigTexts.h"
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/PageInputs.h"
#include "pavix/link/IfLink.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pavix::gui {

namespace {

QString Caption() { return QString::fromLatin1(kCaption); }

} // namespace

QList<QStringList> BssRowTexts(const BssTable& table)
{
    QList<QStringList> rows;
    for (const BssEntry& e : table.entries) {
        if (rows.size() >= static_cast<qsizetype>(kMaxBssEntries))
            break;
        if (std::all_of(e.bssid.begin(), e.bssid.end(), [](std::uint8_t b) { return b == 0; }))
            break;
        QString bssid;
        for (std::size_t i = 0; i < e.bssid.size(); ++i)
            bssid += (i > 0 ? QStringLiteral("-") : QString()) +
                     QStringLiteral("%1").arg(e.bssid[i], 2, 16, QLatin1Char('0')).toUpper();
        rows.append({QString::number(rows.size() + 1), BoardText(e.ssid), bssid,
                     e.adHoc() ? QStringLiteral("Ad hoc") : QStringLiteral("Infrastructure"),
                     QString::number(e.rssi), ToQString(BssSecurityText(e.security))});
    }
    return rows;
}

// ---- BSS Information -------------------------------------------------------------------

CBssPage::CBssPage(PrinterPort& port, platform::qt::Prompter& prompter, QWidget* parent)
    : QWidget(parent), port_(port), prompter_(prompter)
{
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("bssList"));
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QStringLiteral("No"), QStringLiteral("SSID"), QStringLiteral("BSSID"),
                            QStringLiteral("MODE"), QStringLiteral("RSSI"), QStringLiteral("Security")});
    const int widths[] = {30, 120, 120, 80, 50, 100};
    for (int i = 0; i < 6; ++i)
        list_->setColumnWidth(i, widths[i]);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("bssProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    get_ = new QPushButton(QStringLiteral("Get BSS information"), this);
    get_->setObjectName(QStringLiteral("getBssButton"));
    connect(get_, &QPushButton::clicked, this, [this] { OnGetBss(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addWidget(get_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(bottom);
    setConnected(false);
}

void CBssPage::setConnected(bool on)
{
    if (on)
        list_->clear();
    list_->setEnabled(on);
    get_->setEnabled(on);
}

void CBssPage::OnGetBss()
{
    if (!port_.isOpen()) {
        prompter_.warning(this, Caption(), ToQString(texts::kNotConnected), QString());
        return;
    }
    list_->clear();
    BssTable table;
    LinkResult got;
    {
        ExchangeScope scope(window());
        IfLink link{port_};
        got = link.ReadBss([this](int percent) { progress_->setValue(std::clamp(percent, 0, 100)); }, table);
    }
    if (got.ok()) {
        prompter_.information(this, Caption(), QString::fromLatin1(kBssSucceeded), QString());
        for (const QStringList& row : BssRowTexts(table))
            list_->addTopLevelItem(new QTreeWidgetItem(row));
    } else {
        prompter_.warning(this, Caption(), QString::fromLatin1(kBssFailed),
                          ToQString(DescribeLinkResult(got, port_.firstByteTimeoutMs)));
    }
    progress_->setValue(0);
}

// ---- Certificate -----------------------------------------------------------------------

CCertificatePage::CCertificatePage(PrinterPort& port, platform::qt::Prompter& prompter, QWidget* parent)
    : QWidget(parent), port_(port), prompter_(prompter)
{
    auto* typeBox = new QGroupBox(this);
    auto* typeLayout = new QHBoxLayout(typeBox);
    static constexpr CertificateType kTypes[] = {CertificateType::Ca, CertificateType::ClientKey,
                                                 CertificateType::ClientPem};
    static constexpr const char* kNames[] = {"certCa", "certClientKey", "certClientPem"};
    for (std::size_t i = 0; i < types_.size(); ++i) {
        types_[i] = new QRadioButton(ToQString(CertificateTypeText(kTypes[i])), typeBox);
        types_[i]->setObjectName(QString::fromLatin1(kNames[i]));
        typeLayout->addWidget(types_[i]);
        const CertificateType type = kTypes[i];
        connect(types_[i], &QRadioButton::clicked, this, [this, type] { chooseType(type); });
    }
    types_[0]->setChecked(true);

    open_ = new QPushButton(QStringLiteral("Open file"), this);
    open_->setObjectName(QStringLiteral("openFileButton"));
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("certPath"));
    path_->setReadOnly(true);
    upload_ = new QPushButton(QStringLiteral("File Upload"), this);
    upload_->setObjectName(QStringLiteral("uploadButton"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("certProgress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    connect(open_, &QPushButton::clicked, this, [this] { OnOpenFile(); });
    connect(upload_, &QPushButton::clicked, this, [this] { OnUpload(); });

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(open_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(typeBox);
    layout->addLayout(fileRow);
    layout->addWidget(upload_);
    layout->addWidget(progress_);
    layout->addStretch();
    setConnected(false);
}

void CCertificatePage::setConnected(bool on)
{
    connected_ = on;
    for (QRadioButton* r : types_)
        r->setEnabled(on);
    open_->setEnabled(on);
    path_->setEnabled(on);
    upload_->setEnabled(on);
    progress_->setEnabled(on);
}

// The selection drops a loaded file with the type, so a client key can
// never go out as a CA; the page then shows no path.
void CCertificatePage::chooseType(CertificateType type)
{
    selection_.chooseType(type);
    progress_->setValue(0);
    path_->clear();
}

void CCertificatePage::OnOpenFile()
{
    const QStringList chosen = prompter_.getOpenFileNames(this, QStringLiteral("Open"), QString(),
                                                          QStringLiteral("Original Certificate Format (*)"));
    if (chosen.isEmpty()) {
        selection_.clear();
        path_->clear();
        return;
    }
    const QString path = chosen.last();
    path_->setText(path);
    const CertificateCheck check = selection_.open(QFile::encodeName(path).toStdString());
    const QString message = ToQString(CertificateCheckMessage(check));
    if (check == CertificateCheck::Selected)
        prompter_.information(this, Caption(), message, QString());
    else
        prompter_.warning(this, Caption(), message, QString());
}

void CCertificatePage::OnUpload()
{
    if (!connected_ || !port_.isOpen()) {
        prompter_.warning(this, Caption(), ToQString(texts::kNotConnected), QString());
        return;
    }
    if (!selection_.ready()) {
        prompter_.warning(this, Caption(), ToQString(texts::kCertNotReady), QString());
        return;
    }
    progress_->setValue(0);
    CertificateUploadReport report;
    LinkResult failure;
    {
        ExchangeScope scope(window());
        IfLink link{port_};
        const CertificateExchange exchange = [&](ByteView request) {
            return link.ExchangeCertificate(request, &failure);
        };
        report = UploadCertificate(selection_.type(), selection_.bytes(), exchange, port_.clock(),
                                   [this](unsigned percent) { progress_->setValue(static_cast<int>(percent)); });
    }
    const QString message = ToQString(CertificateUploadWindowMessage(report.result));
    if (report.result == CertificateUploadResult::Completed)
        prompter_.information(this, Caption(), message, QString());
    else
        prompter_.warning(this, Caption(), message,
                          report.result == CertificateUploadResult::LinkFailed
                              ? ToQString(DescribeLinkResult(failure, port_.firstByteTimeoutMs))
                              : QString());
}

} // namespace pavix::gui
