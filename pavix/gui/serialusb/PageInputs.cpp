#include "pavix/gui/serialusb/PageInputs.h"

#include <QApplication>
#include <algorithm>
#include <QCursor>
#include <QRegularExpressionValidator>

namespace pavix::gui {

ConfigTextEdit::ConfigTextEdit(ConfigInput input, std::function<void(const std::string&)> store, QWidget* parent)
    : QLineEdit(parent), input_(input), store_(std::move(store))
{
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { edited(text); });
}

void ConfigTextEdit::showValue(const std::string& value)
{
    last_ = BoardText(value);
    setText(last_);
}

void ConfigTextEdit::edited(const QString& text)
{
    const std::string before = FromBoardText(last_);
    // Non-Latin-1 characters would not survive FromBoardText; refuse them
    // before the model's printable check sees '?' in their place.
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() < 0x100; });
    const std::string after = FromBoardText(text);
    if (!latin1 || !TypedTextAccepted(input_, before, after)) {
        const int cursor = std::min(cursorPosition(), static_cast<int>(last_.size()));
        setText(last_);
        setCursorPosition(cursor);
        return;
    }
    last_ = text;
    if (store_)
        store_(after);
}

DigitsEdit::DigitsEdit(int digits, std::function<std::uint32_t(std::uint32_t)> store, QWidget* parent)
    : QLineEdit(parent), store_(std::move(store))
{
    setMaxLength(digits);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    connect(this, &QLineEdit::textEdited, this, [this](const QString&) {
        const std::uint32_t typed = value();
        const std::uint32_t kept = store_ ? store_(typed) : typed;
        if (kept != typed)
            showValue(kept);
    });
}

void DigitsEdit::showValue(std::uint32_t value)
{
    setText(QString::number(value));
}

std::uint32_t DigitsEdit::value() const
{
    bool ok = false;
    const qulonglong v = text().toULongLong(&ok);
    // At most a few digits are typed, so this never saturates in practice;
    // the bound keeps a pasted long number from wrapping.
    return ok ? static_cast<std::uint32_t>(std::min<qulonglong>(v, 0xFFFFFFFFull)) : 0;
}

ExchangeScope::ExchangeScope(QWidget* window) : hold_(window)
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

ExchangeScope::~ExchangeScope()
{
    QApplication::restoreOverrideCursor();
}

} // namespace pavix::gui
