// Small pieces the configuration pages share: text inputs that keep the
// model's typing rule, digits-only number inputs, and the scope every
// exchange with the board runs in.
#pragma once

#include "pavix/config/IfConfigModel.h"
#include "platform/qt/PaintingWaitHook.h"
#include "platform/qt/UserInputHold.h"

#include <QLineEdit>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace pavix::gui {

// A text input under TypedTextAccepted: printable ASCII, the page's limit
// for typing, but a longer text from the board is shown whole and may only
// be shortened or edited in place. Each accepted change goes to `store`.
class ConfigTextEdit final : public QLineEdit {
public:
    ConfigTextEdit(ConfigInput input, std::function<void(const std::string&)> store, QWidget* parent = nullptr);

    // Shows a value from the model without storing it back.
    void showValue(const std::string& value);
    ConfigInput input() const { return input_; }

private:
    void edited(const QString& text);

    ConfigInput input_;
    std::function<void(const std::string&)> store_;
    QString last_;
};

// A digits-only input of at most `digits` digits. Each change by the user
// goes to `store` as a number (empty reads 0); when `store` corrects the
// value (returns another), the input shows the corrected value.
class DigitsEdit final : public QLineEdit {
public:
    DigitsEdit(int digits, std::function<std::uint32_t(std::uint32_t)> store, QWidget* parent = nullptr);

    void showValue(std::uint32_t value);
    std::uint32_t value() const;

private:
    std::function<std::uint32_t(std::uint32_t)> store_;
};

// Wraps one exchange with the board: the window keeps painting, its input
// waits until the exchange is over, and the wait cursor shows meanwhile.
class ExchangeScope {
public:
    explicit ExchangeScope(QWidget* window);
    ~ExchangeScope();
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

private:
    platform::qt::ScopedPaintingWaitHook painting_;
    platform::qt::UserInputHold hold_;
};

inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The board's texts are ASCII; anything else is kept as Latin-1 bytes so a
// byte survives a round trip through an input.
inline QString BoardText(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string FromBoardText(const QString& text) { return text.toLatin1().toStdString(); }

} // namespace pavix::gui
