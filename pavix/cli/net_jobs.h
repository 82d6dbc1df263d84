// pavix-cli's network commands: search, show, set and web over UDP, with
// the device list's texts and the network setting window's checks.
//
// Every command searches first (the device numbers are positions in that
// search); set then sends the store datagram from the same socket and waits
// for the board's answer. Messages the technician knows from the windows
// carry a line break ("\r\n"); the lines form joins their lines with a
// space, the JSON form keeps them exact.
#pragma once

#include "pavix/cli/cli_jobs.h"
#include "pavix/search/NetworkSetting.h"
#include "pavix/search/UdpChannel.h"

#include <ostream>
#include <string>
#include <string_view>

namespace pavix::cli {

// "a\r\nb" as "a b".
std::string OneLine(std::string_view message);

// search's lines and JSON members.
std::string SearchRows(search::SearchMode mode, const search::DeviceList& list);
std::string SearchJsonMembers(search::SearchMode mode, const search::DeviceList& list);
// What the search noticed besides the answers, for stderr.
std::vector<std::string> SearchNotes(const search::SearchReport& report);

// show's fields for device `number`.
platform::cli::Record DeviceShowRecord(search::SearchMode mode, int number, const search::DeviceRecord& record);

// The device `choice` names in `list` (the first one with that MAC), or 0.
int FindDevice(const search::DeviceList& list, const DeviceChoice& choice);

// set's options applied onto the form for device `number` and Save pressed.
// A refusal by the typing rules comes back as Refused with their message.
search::SaveDecision PlanStore(const search::DeviceList& list, int number, const NetOptions& net,
                               std::string* notice = nullptr);

// The UDP settings from the mode's defaults, the PAVIX_UDP_* variables read
// through `lookup`, then the options; false with the problem.
bool MakeUdpSettings(const NetOptions& net, const search::EnvLookup& lookup, search::UdpSettings& settings,
                     std::string& problem);

JobResult runNetJob(const Options& options);

} // namespace pavix::cli
