// An IPv4 address edit, standing where the system's IP address control
// stood: dotted text of four fields 0..255, typed in one validated line.
//
// It has a blank state, distinct from 0.0.0.0: nothing entered. A partly
// entered address reads with its missing fields as 0 ("10.1" reads
// "10.1.0.0"), as the system control reads empty fields; filledFields()
// tells how many fields hold a number.
#pragma once

#include <QLineEdit>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace platform::qt {

class Ipv4AddressEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit Ipv4AddressEdit(QWidget* parent = nullptr);

    // Dotted "a.b.c.d", or an empty string when blank.
    QString address() const;
    // Shows `dotted` (normalised); empty or not an IPv4 address: blank, and
    // false for a text that is no address.
    bool setAddress(const QString& dotted);
    bool isBlank() const;
    void setBlank() { clear(); }
    int filledFields() const;
    std::optional<std::array<std::uint8_t, 4>> octets() const;
    void setOctets(const std::array<std::uint8_t, 4>& octets);

    // "a.b.c.d" with each field 0..255 (at most three digits), missing or
    // empty fields as 0; an empty string when `text` is blank or no IPv4
    // address (more than four fields, a field out of range, other signs).
    static QString normalize(const QString& text);
};

} // namespace platform::qt
