#include "corvane/nv/gui/CNVDlg.h"

#include "corvane/nv/NvAddressing.h"
#include "corvane/nv/NvImageList.h"
#include "corvane/nv/NvJob.h"
#include "corvane/nv/gui/CNvAddrDlg.h"
#include "corvane/nv/gui/CNvProDlg.h"
#include "corvane/nv/gui/NvDialogIds.h"
#include "corvane/nv/preview_gui/NvPreviewWidget.h"
#include "platform/qt/ControlIds.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

using platform::qt::SetControlId;

namespace {

QString caption() { return QString::fromUtf8(nv_text::kCaption); }

// Job messages break their line with Windows line breaks.
QString shown(const std::string& text)
{
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QString keyText(const std::string& key) { return QString::fromLatin1(key.data(), qsizetype(key.size())); }

} // namespace

CNVDlg::CNVDlg(CCommonNv& nv, platform::RegistryStore& store, platform::qt::Prompter& prompter, QWidget* parent,
               platform::Clock& clock)
    : QDialog(parent), nv_(nv), store_(store), prompter_(prompter), clock_(clock)
{
    runJob_ = [this](int job, const std::string& keyCode, int index) {
        return CNvProDlg::RunNvJob(nv_, job, store_, this, keyCode, index, clock_);
    };
    askAddress_ = [this](const std::vector<std::string>& existing) {
        return CNvAddrDlg::AskAddress(existing, prompter_, this);
    };
    build();
    restoreList();
    fillAddressList();
    fillImageList();
    updateInfo();
}

CNVDlg::~CNVDlg() = default;

void CNVDlg::build()
{
    setWindowTitle(caption());
    setModal(true);

    images_ = new QTableWidget(0, 3, this);
    images_->setObjectName(QStringLiteral("imageList"));
    SetControlId(images_, nv_id::kImageList);
    images_->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Name"), QStringLiteral("Size")});
    images_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    images_->setColumnWidth(0, 42);
    images_->setColumnWidth(1, 115);
    images_->setColumnWidth(2, 55);
    images_->horizontalHeader()->setStretchLastSection(true);
    images_->verticalHeader()->setVisible(false);
    images_->setShowGrid(true);
    images_->setSelectionBehavior(QAbstractItemView::SelectRows);
    images_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    images_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    images_->setMinimumWidth(240);
    connect(images_, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { onCurrentRowChanged(row); });

    auto button = [this](const char* text, int id, const char* name, void (CNVDlg::*slot)()) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        SetControlId(b, id);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    addImage_ = button("Add Image", nv_id::kAddImage, "addImageButton", &CNVDlg::OnAddImage);
    removeImages_ = button("Remove", nv_id::kRemoveImage, "removeImageButton", &CNVDlg::OnRemoveImages);
    reset_ = button("Reset", nv_id::kReset, "resetButton", &CNVDlg::OnReset);
    download_ = button("Download", nv_id::kDownload, "downloadButton", &CNVDlg::OnDownload);
    saveAs_ = button("Save As...", nv_id::kSaveAs, "saveAsButton", &CNVDlg::OnSaveAs);
    print_ = button("Print", nv_id::kPrint, "printButton", &CNVDlg::OnPrint);
    printAll_ = button("Print All", nv_id::kPrintAll, "printAllButton", &CNVDlg::OnPrintAll);
    removeAll_ = button("Remove All", nv_id::kRemoveAll, "removeAllButton", &CNVDlg::OnRemoveAll);
    refresh_ = button("Refresh", nv_id::kRefresh, "refreshButton", &CNVDlg::OnRefresh);
    removeStored_ = button("Remove", nv_id::kRemoveStored, "removeStoredButton", &CNVDlg::OnRemoveStored);
    exit_ = button("Exit", nv_id::kExit, "exitButton", &CNVDlg::OnExit);

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("brightnessSlider"));
    SetControlId(slider_, nv_id::kSlider);
    slider_->setRange(0, 100);
    slider_->setValue(0);
    // Every move reaches the selected image at once: no edit is lost to a
    // poll that has not come round yet.
    connect(slider_, &QSlider::valueChanged, this, &CNVDlg::onSliderMoved);

    preview_ = new NvPreviewWidget(this);
    SetControlId(preview_, nv_id::kPreview);
    preview_->setFixedSize(192, 144);

    addresses_ = new QListWidget(this);
    addresses_->setObjectName(QStringLiteral("addressList"));
    SetControlId(addresses_, nv_id::kAddressList);
    addresses_->setSelectionMode(QAbstractItemView::SingleSelection);
    addresses_->setMinimumWidth(90);

    autoAddressing_ = new QCheckBox(QStringLiteral("Auto Addressing"), this);
    autoAddressing_->setObjectName(QStringLiteral("autoAddressing"));
    SetControlId(autoAddressing_, nv_id::kAutoAddressing);
    autoAddressing_->setChecked(false);   // starts unchecked each time, not saved

    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("infoText"));
    SetControlId(info_, nv_id::kInfo);

    // Left: the images to download.
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {addImage_, removeImages_, reset_, download_, saveAs_})
        listButtons->addWidget(b);

    auto* range = new QGroupBox(QStringLiteral("Change Color Range"), this);
    auto* rangeLayout = new QGridLayout(range);
    rangeLayout->addWidget(new QLabel(QStringLiteral("Brightness "), range), 0, 0, 1, 3);
    rangeLayout->addWidget(new QLabel(QStringLiteral("0"), range), 1, 0);
    rangeLayout->addWidget(slider_, 1, 1);
    rangeLayout->addWidget(new QLabel(QStringLiteral("100"), range), 1, 2);

    auto* left = new QVBoxLayout;
    left->addWidget(images_, 1);
    left->addLayout(listButtons);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(range, 1);
    previewRow->addWidget(preview_, 0, Qt::AlignTop);
    left->addLayout(previewRow);

    // Right: what the printer holds.
    auto* stored = new QGroupBox(QStringLiteral("NV Image List"), this);
    auto* storedLayout = new QVBoxLayout(stored);
    storedLayout->addWidget(addresses_, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{print_, printAll_, removeAll_, refresh_, autoAddressing_,
                                                      removeStored_})
        storedLayout->addWidget(w);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addWidget(stored);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(info_, 1);
    bottom->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);

    // The indexed family cannot list, choose keys or delete one image.
    if (nv_.indexedFamily()) {
        autoAddressing_->setEnabled(false);
        refresh_->setEnabled(false);
        removeStored_->setEnabled(false);
    }
}

void CNVDlg::restoreList()
{
    const RestoreOutcome outcome = RestoreImageList(nv_, store_);
    for (int i = 0; i < outcome.overCapacity; ++i)
        message(nv_text::kAreaTooSmall);
}

void CNVDlg::fillImageList()
{
    const QSignalBlocker quiet(images_);
    images_->clearContents();
    images_->setRowCount(int(nv_.images.size()));
    int row = 0;
    for (const NvImage& image : nv_.images) {
        const QString cells[3] = {QString::number(image.number), QString::fromStdString(image.name),
                                  QStringLiteral("%1 Bytes").arg(image.size)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignCenter);
            images_->setItem(row, column, item);
        }
        ++row;
    }
    // The image being edited stays selected; after a removal nothing is
    // (the caller clears it first), since the numbers have moved.
    images_->clearSelection();
    images_->setCurrentItem(nullptr);
    if (selectedNumber_ >= 1 && selectedNumber_ <= images_->rowCount())
        images_->selectRow(selectedNumber_ - 1);
}

void CNVDlg::fillAddressList()
{
    addresses_->clear();
    for (const std::string& address : nv_.addresses)
        addresses_->addItem(keyText(address));
}

QString CNVDlg::InfoText() const
{
    return QStringLiteral("<Images: %1/%2 - Memory: %3/%4 (Byte)>")
        .arg(nv_.images.size())
        .arg(nv_.addresses.size())
        .arg(nv_.TotalImageSize())
        .arg(kNvCapacityBytes);
}

void CNVDlg::updateInfo() { info_->setText(InfoText()); }

void CNVDlg::clearSelection()
{
    selectedPath_.clear();
    selectedNumber_ = -1;
    preview_->ShowImage(std::string());
}

void CNVDlg::onCurrentRowChanged(int row)
{
    if (row < 0 || !images_->item(row, 0))
        return;
    bool ok = false;
    const int number = images_->item(row, 0)->text().toInt(&ok);
    if (!ok || number == selectedNumber_)
        return;
    const auto it = std::find_if(nv_.images.begin(), nv_.images.end(),
                                 [number](const NvImage& image) { return image.number == number; });
    if (it == nv_.images.end())
        return;
    selectedPath_ = it->path;
    selectedNumber_ = number;
    {
        // The slider shows the image's value; it is not a new edit.
        const QSignalBlocker quiet(slider_);
        slider_->setValue(std::clamp(int(it->brightness), 0, 100));
    }
    preview_->ShowImage(selectedPath_);
    preview_->SetBrightness(slider_->value());
}

void CNVDlg::onSliderMoved(int value)
{
    for (NvImage& image : nv_.images)
        if (image.number == selectedNumber_)
            image.brightness = value;
    preview_->SetBrightness(value);
}

void CNVDlg::message(const char* text, const QString& details)
{
    prompter_.warning(this, caption(), QString::fromUtf8(text), details);
}

void CNVDlg::OnAddImage()
{
    const QStringList files =
        prompter_.getOpenFileNames(this, caption(), QString(), QString::fromUtf8(nv_text::kImageFilter));
    for (const QString& file : files) {
        int error = 0;
        std::string reason;
        auto image = nv_.LoadImageItem(std::uint8_t(nv_.images.size() + 1), file.toStdString(), slider_->value(),
                                       error, &reason);
        if (!image) {
            message(nv_text::kLoadFailed, file + QStringLiteral(": ") + QString::fromStdString(reason));
            continue;
        }
        const int rc = nv_.AddImage(*image);
        if (rc == kNvCapacity)
            message(nv_text::kAreaTooSmall, file);
        else if (rc == kNvTooMany)
            message(nv_text::kTooManyImages, file);
    }
    fillImageList();
    updateInfo();
}

void CNVDlg::OnRemoveImages()
{
    QList<int> rows;
    for (const QModelIndex& index : images_->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty()) {
        message(nv_text::kNoImage);
        return;
    }
    if (!prompter_.question(this, caption(), QString::fromUtf8(nv_text::kRemoveQuestion)))
        return;
    // Exactly the selected rows, from the last one, so the renumbering of
    // each removal does not move a row still to be removed.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : rows)
        nv_.RemoveImage(std::uint8_t(row + 1));
    clearSelection();
    fillImageList();
    updateInfo();
}

void CNVDlg::OnReset()
{
    nv_.ClearImages();
    clearSelection();
    fillImageList();
    updateInfo();
}

std::optional<std::vector<std::string>> CNVDlg::assignKeys(const std::vector<std::string>& existing)
{
    if (nv_.indexedFamily())
        return std::vector<std::string>{};
    if (autoAddressing_->isChecked()) {
        auto keys = nv::AutoKeys(nv_.images.size(), nv_.addresses);
        if (!keys)
            message(nv_text::kNoFreeAddress);
        return keys;
    }
    std::vector<std::string> keys;
    // A typed key is checked against the printer's keys (or the file's) and
    // those typed for this list already: two images under one key would
    // silently overwrite each other.
    std::vector<std::string> taken = existing;
    for (std::size_t i = 0; i < nv_.images.size(); ++i) {
        const std::optional<std::string> key = askAddress_(taken);
        if (!key) {
            message(nv_text::kCancelDownload);
            return std::nullopt;
        }
        keys.push_back(*key);
        taken.push_back(*key);
    }
    return keys;
}

bool CNVDlg::buildCommands(const std::vector<std::string>& keys)
{
    std::string detail;
    const int rc = nv_.BuildCommands(keys, &detail);
    if (rc == kOk)
        return true;
    const QString why = QString::fromStdString(detail);
    switch (rc) {
    case kNvCapacity:
        message(nv_text::kAreaTooSmall, why);
        break;
    case kNvTooLarge:
        message(nv_text::kImageTooLarge, why);
        break;
    default:
        message(nv_text::kLoadFailed, why);
        break;
    }
    return false;
}

bool CNVDlg::runJob(int job, const std::string& keyCode, int index)
{
    const platform::JobResult result = runJob_(job, keyCode, index);
    if (result.end == platform::JobEnd::Ok)
        return true;
    prompter_.warning(this, caption(), shown(result.message), QString());
    return false;
}

void CNVDlg::OnDownload()
{
    if (nv_.images.empty()) {
        message(nv_text::kNoImage);
        return;
    }
    nv_.commands.clear();
    const auto keys = assignKeys(nv_.addresses);
    if (!keys)
        return;
    if (!buildCommands(*keys))
        return;
    // Identified again right before the data goes out: a printer swapped
    // since the manager opened is refused instead of sent the wrong family.
    nv_.printerIdentified = 0;
    if (runJob(kNvJobDownload)) {
        nv_.storedCount = std::int32_t(nv_.commands.size());
        if (!nv_.WriteStoredCount(store_, kNvRegistryKey, std::uint32_t(nv_.storedCount)))
            prompter_.warning(this, caption(), QString::fromUtf8(nv_text::kListSaveFailed),
                              QString::fromStdString(store_.path() + ": " + store_.lastError().describe()));
    }
    // The closing steps run after a failed download too: the printer's list
    // is read again either way.
    nv_.commands.clear();
    clock_.pauseMs(200);
    OnRefresh();
    updateInfo();
}

void CNVDlg::OnSaveAs()
{
    if (nv_.images.empty()) {
        message(nv_text::kNoImage);
        return;
    }
    const QString path =
        prompter_.getSaveFileNameWithSuffix(this, caption(), QString(), QString::fromUtf8(nv_text::kPrintFileFilter),
                                            QString::fromUtf8(nv_text::kPrintFileSuffix));
    if (path.isEmpty())
        return;
    nv_.commands.clear();
    // A file's typed keys are checked against each other only.
    const auto keys = assignKeys({});
    if (!keys)
        return;
    if (!buildCommands(*keys))
        return;
    platform::OsError error;
    const bool saved = nv_.SaveCommandFile(path.toStdString(), error);
    nv_.commands.clear();
    if (!saved) {
        message(nv_text::kSaveFailed, path + QStringLiteral(": ") + QString::fromStdString(error.describe()));
        return;
    }
    message(nv_text::kSaved);
}

void CNVDlg::OnPrint()
{
    const int row = addresses_->currentRow();
    if (row < 0 || !addresses_->item(row) || !addresses_->item(row)->isSelected()) {
        prompter_.information(this, caption(), QString::fromUtf8(nv_text::kSelectAddress), QString());
        return;
    }
    const QByteArray key = addresses_->item(row)->text().toLatin1();
    runJob(kNvJobPrintSelected, key.toStdString(), row);
    fillAddressList();
    updateInfo();
}

void CNVDlg::OnRemoveStored()
{
    const int row = addresses_->currentRow();
    if (row < 0 || !addresses_->item(row) || !addresses_->item(row)->isSelected()) {
        prompter_.information(this, caption(), QString::fromUtf8(nv_text::kSelectAddress), QString());
        return;
    }
    const QByteArray key = addresses_->item(row)->text().toLatin1();
    runJob(kNvJobDeleteSelected, key.toStdString(), row);
    fillAddressList();
    updateInfo();
}

void CNVDlg::OnPrintAll()
{
    nv_.storedCount = addresses_->count();
    runJob(kNvJobPrintAll);
    fillAddressList();
    updateInfo();
}

void CNVDlg::OnRemoveAll()
{
    runJob(kNvJobDeleteAll);
    fillAddressList();
    updateInfo();
}

void CNVDlg::OnRefresh()
{
    nv_.addresses.clear();
    runJob(kNvJobAddresses);
    fillAddressList();
    updateInfo();
}

void CNVDlg::OnExit() { accept(); }

void CNVDlg::reject() { QDialog::reject(); }

void CNVDlg::saveList()
{
    listSaved_ = SaveImageList(store_, nv_);
    if (!listSaved_)
        prompter_.warning(this, caption(), QString::fromUtf8(nv_text::kListSaveFailed),
                          QString::fromStdString(store_.path() + ": " + store_.lastError().describe()));
}

void CNVDlg::done(int result)
{
    if (!closed_) {
        closed_ = true;
        nv_.printerIdentified = 0;
        saveList();
        nv_.commands.clear();
        nv_.addresses.clear();
    }
    QDialog::done(result);
}

} // namespace corvane
