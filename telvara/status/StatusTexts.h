// Every message, caption and label the status dialog and its command line
// show, in one place. They are the texts the printer's users and support
// documents know, copied byte for byte, odd spelling and spacing included.
// Do not "correct" them.
#pragma once

#include <string_view>

namespace telvara::texts {

enum class Icon { Information, Exclamation, Warning };

struct Message {
    std::string_view text;
    std::string_view caption;
    Icon icon;
};

inline constexpr std::string_view kCaptionInformation = "Information";
inline constexpr std::string_view kCaptionWarning = "Warning";

inline constexpr Message kNotOurProduct{"Don't use this program for other company product.", kCaptionInformation,
                                        Icon::Exclamation};
inline constexpr Message kNameMismatch{"This printer don't match our printer name.", kCaptionWarning,
                                       Icon::Exclamation};
inline constexpr Message kNoPrinter{"Can't connect printer. Please restart printer.", kCaptionInformation,
                                    Icon::Information};
// A write of the set that did not go out whole.
inline constexpr Message kSetLinkLost{"Can't connect printer. Please restart printer.", kCaptionWarning,
                                      Icon::Warning};
inline constexpr Message kGetDone{"Success to get status of printer.", kCaptionInformation, Icon::Information};
inline constexpr Message kSetDone{"Success to set status of printer", kCaptionInformation, Icon::Information};
inline constexpr Message kSetStartsFontDownload{"Success to Change the Firmware,\n And Now Start Font Download!",
                                                kCaptionInformation, Icon::Exclamation};

inline constexpr Message kWrongFormat{"Wrong format files loaded.", kCaptionWarning, Icon::Exclamation};
inline constexpr Message kCannotSave{"Can't save the status file.", kCaptionWarning, Icon::Exclamation};
inline constexpr Message kCannotRead{"Can't read the status file.", kCaptionWarning, Icon::Exclamation};

inline constexpr std::string_view kWaitInitializing = "Please wait...... During Initializing";

// The file dialogs of Save and Load.
inline constexpr std::string_view kSaveTitle = "Save current status";
inline constexpr std::string_view kLoadTitle = "Load saved status";
inline constexpr std::string_view kFileFilter = "Status Files (*.sts)|*.sts|";
inline constexpr std::string_view kSaveProposedName = "Noname.sts";
inline constexpr std::string_view kLoadInitialName = "*.sts";

inline constexpr std::string_view kTabMemorySwitch = "Memory switch";
inline constexpr std::string_view kTabPrinterSetting = "Printer Setting";
inline constexpr std::string_view kSwitchLabelPrefix = "MSW :";

} // namespace telvara::texts
