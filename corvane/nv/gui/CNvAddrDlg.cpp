#include "corvane/nv/gui/CNvAddrDlg.h"

#include "corvane/nv/NvAddressing.h"
#include "corvane/nv/NvJob.h"
#include "corvane/nv/gui/NvDialogIds.h"
#include "platform/qt/ControlIds.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace corvane {
namespace {

using platform::qt::SetControlId;

bool isTwoPrintableAscii(const QString& text)
{
    if (text.size() != 2)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7E; });
}

} // namespace

CNvAddrDlg::CNvAddrDlg(std::vector<std::string> existingKeys, platform::qt::Prompter& prompter, QWidget* parent)
    : QDialog(parent), existing_(std::move(existingKeys)), prompter_(prompter)
{
    setWindowTitle(QString::fromUtf8(nv_text::kCaption));
    setModal(true);

    auto* label = new QLabel(QStringLiteral("Address Code : "), this);
    edit_ = new QLineEdit(QStringLiteral("00"), this);
    edit_->setObjectName(QStringLiteral("addressEdit"));
    SetControlId(edit_, nv_id::kAddressEdit);
    edit_->setMaxLength(2);
    label->setBuddy(edit_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    SetControlId(ok, nv_id::kAddressOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CNvAddrDlg::accept);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    SetControlId(cancel, nv_id::kAddressCancel);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &CNvAddrDlg::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edit_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    edit_->selectAll();
    edit_->setFocus();
}

std::string CNvAddrDlg::Address() const
{
    const QByteArray bytes = edit_->text().toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void CNvAddrDlg::accept()
{
    const QString caption = QString::fromUtf8(nv_text::kCaption);
    const QString text = edit_->text();
    const bool exists = std::any_of(existing_.begin(), existing_.end(), [&text](const std::string& key) {
        return text == QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
    });
    if (exists) {
        prompter_.information(this, caption, QString::fromUtf8(nv::kExistsAddress), QString());
        return;
    }
    // Checked on the text, not its Latin-1 bytes: a character Latin-1 lacks
    // would turn into "?" there and pass as a key nobody typed.
    if (!isTwoPrintableAscii(text) || !nv::KeyProblem(Address(), existing_).empty()) {
        prompter_.information(this, caption, QString::fromUtf8(nv_text::kAddressShape), QString());
        return;
    }
    QDialog::accept();
}

std::optional<std::string> CNvAddrDlg::AskAddress(const std::vector<std::string>& existingKeys,
                                                  platform::qt::Prompter& prompter, QWidget* parent)
{
    CNvAddrDlg dlg(existingKeys, prompter, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.Address();
}

} // namespace corvane
