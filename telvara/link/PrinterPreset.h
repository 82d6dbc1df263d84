// The connection settings a start with an installed printer's name gets.
//
//   Custom_KTP-M880, Custom_KTP-M882   the registry store's key
//                                      SOFTWARE\QUELLIX\KTP-M88x\PSP\Custom
//                                      (ReadCustomPreset)
//   any other name                     the spooler queue of that name (case
//                                      ignored): its device URI's interface
//                                      and line settings (presetFromDeviceUri)
//
// Whatever cannot be used leaves the defaults and says why in `notice`: no
// such queue, no scheduler to ask, a URI scheme the program cannot reach a
// printer through. A URI option that was not understood keeps the rest of
// the URI and is named in the notice as well. A USB preset leaves the port
// empty: the front end picks the first USB printer it lists.
#pragma once

#include "telvara/link/CustomPreset.h"

#include "platform/registry_store.h"
#include "platform/spooler/spooler.h"

#include <string>

namespace telvara {

// `spooler` may be null (no scheduler library or connection): any name but
// the two custom ones then gets the defaults with a notice.
Preset PresetForPrinter(const std::string& printerName, const platform::RegistryStore& store,
                        platform::spooler::Spooler* spooler, const LinkConfig& defaults);

} // namespace telvara
