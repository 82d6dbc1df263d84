#include "platform/qt/Ipv4AddressEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>

namespace platform::qt {
namespace {

// Up to four dot-separated fields of 0..255, each may still be empty while
// the user types.
const QRegularExpression& partialAddressPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        "^((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?\\.){0,3}(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?$"));
    return pattern;
}

} // namespace

Ipv4AddressEdit::Ipv4AddressEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new QRegularExpressionValidator(partialAddressPattern(), this));
    // Room for "255.255.255.255".
    setMaxLength(15);
}

QString Ipv4AddressEdit::normalize(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QStringList parts = trimmed.split(QLatin1Char('.'));
    if (parts.size() > 4)
        return {};
    QStringList out;
    bool anyNumber = false;
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            out << QStringLiteral("0");
            continue;
        }
        if (part.size() > 3)
            return {};
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        }
        const int value = part.toInt();
        if (value > 255)
            return {};
        anyNumber = true;
        out << QString::number(value);
    }
    if (!anyNumber)
        return {};
    while (out.size() < 4)
        out << QStringLiteral("0");
    return out.join(QLatin1Char('.'));
}

QString Ipv4AddressEdit::address() const
{
    return normalize(text());
}

bool Ipv4AddressEdit::setAddress(const QString& dotted)
{
    const QString normal = normalize(dotted);
    setText(normal);
    return !normal.isEmpty() || dotted.trimmed().isEmpty();
}

bool Ipv4AddressEdit::isBlank() const
{
    return filledFields() == 0;
}

int Ipv4AddressEdit::filledFields() const
{
    int filled = 0;
    const QStringList parts = text().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i) {
        if (!parts[i].trimmed().isEmpty())
            ++filled;
    }
    return filled;
}

std::optional<std::array<std::uint8_t, 4>> Ipv4AddressEdit::octets() const
{
    const QString normal = address();
    if (normal.isEmpty())
        return std::nullopt;
    const QStringList parts = normal.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<std::uint8_t, 4> result{};
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<std::uint8_t>(parts[static_cast<qsizetype>(i)].toInt());
    return result;
}

void Ipv4AddressEdit::setOctets(const std::array<std::uint8_t, 4>& octets)
{
    setText(QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]));
}

} // namespace platform::qt
