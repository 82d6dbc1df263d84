// The address dialog of the NV image manager: asks for the two-character
// key code one image is downloaded under, caption "NV Image Manager".
//
// The edit (at most two characters) starts as "00". OK refuses, with a
// message box and the dialog staying open:
//   - a text equal (exactly, case-sensitive) to one of the existing keys:
//     "Exists address!";
//   - any other text that is not exactly two printable ASCII characters
//     (0x20..0x7E): kAddressShape. The key-code commands carry exactly two
//     key bytes, and the keys the printer lists and the automatic addressing
//     hands out are printable ASCII; a shorter key would be padded by
//     nobody, and a character outside ASCII has no single byte the printer
//     would list back the same way.
//
// Controls, for tests (object name, control id):
//   "addressEdit"   kAddressEdit
//   "okButton"      kAddressOk
//   "cancelButton"  kAddressCancel
#pragma once

#include "platform/qt/Prompter.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;

namespace corvane {

namespace nv_text {
inline constexpr const char* kAddressShape = "The address must be two characters (0x20~0x7E)!";
} // namespace nv_text

class CNvAddrDlg : public QDialog {
    Q_OBJECT
public:
    CNvAddrDlg(std::vector<std::string> existingKeys, platform::qt::Prompter& prompter, QWidget* parent = nullptr);

    // The typed key as bytes (Latin-1 of the edit text).
    std::string Address() const;
    // OK: closes with Accepted only for a usable key.
    void accept() override;

    // Shows it modally; the typed key, or nullopt when cancelled.
    static std::optional<std::string> AskAddress(const std::vector<std::string>& existingKeys,
                                                 platform::qt::Prompter& prompter, QWidget* parent);

private:
    std::vector<std::string> existing_;
    platform::qt::Prompter& prompter_;
    QLineEdit* edit_ = nullptr;
};

} // namespace corvane
