// The preset of the two custom printer entries, "Custom_KTP-M880" and
// "Custom_KTP-M882": their port settings live in the registry store under
// "SOFTWARE\QUELLIX\KTP-M88x\PSP\Custom":
//   Port         string; its first three characters give the interface:
//                COM serial, LPT parallel, USB USB, NET Ethernet
//   TcpIp        string, Ethernet: the printer's address
//   BaudRate     DWORD, serial (Ethernet: TcpPort instead)
//   DataBits, FlowControl, Parity, StopBits   DWORDs, the combo indexes and
//                codes of LinkConfig
// A value that is missing keeps the default; a data bit count other than 8
// reads as 7.
#pragma once

#include "telvara/link/PortLink.h"

#include "platform/registry_store.h"

#include <string>

namespace telvara {

struct Preset {
    bool found = false;        // the key and its Port value were there
    LinkKind kind = LinkKind::Serial;
    LinkConfig config;         // portName empty for USB: the first USB printer listed
    std::string notice;        // why the defaults were kept, when !found
};

// "Custom_KTP-M880" -> "SOFTWARE\QUELLIX\KTP-M880\PSP\Custom"; empty for
// any other printer name.
std::string CustomPresetKey(const std::string& printerName);

// The settings the store holds for `printerName` (one of the two custom
// names), over `defaults`.
Preset ReadCustomPreset(const platform::RegistryStore& store, const std::string& printerName,
                        const LinkConfig& defaults);

} // namespace telvara
