#include "pavix/cli/config_text.h"

#include "pavix/protocol/IfTables.h"

namespace pavix::cli {

std::string DottedIpv4(const Ipv4& address)
{
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) + "."
           + std::to_string(address[3]);
}

platform::cli::Record SystemInfoRecord(const SystemInfo& info)
{
    platform::cli::Record r;
    r.text("Firmware Version", info.firmwareVersion)
        .text("Update Date", info.updateDate)
        .text("Mac Address", FormatMac(info.mac));
    return r;
}

platform::cli::Record ConfigRecord(const IfConfigRecord& c)
{
    // One row per field, in the window's order; the names are taken from
    // kConfigFieldNames by position, so the reader and this writer share them.
    platform::cli::Record r;
    r.text(std::string(kConfigFieldNames[0]), c.printerName)
        .number(std::string(kConfigFieldNames[1]), c.printerPort)
        .text(std::string(kConfigFieldNames[2]), c.userId)
        .text(std::string(kConfigFieldNames[3]), c.userPassword)
        .text(std::string(kConfigFieldNames[4]), EnumText(kSwitchTable, c.https))
        .text(std::string(kConfigFieldNames[5]), EnumText(kSwitchTable, c.telnet))
        .text(std::string(kConfigFieldNames[6]), EnumText(kSwitchTable, c.ftp))
        .text(std::string(kConfigFieldNames[7]), EnumText(kSwitchTable, c.snmp))
        .text(std::string(kConfigFieldNames[8]), c.setCommunity)
        .text(std::string(kConfigFieldNames[9]), c.getCommunity)
        .text(std::string(kConfigFieldNames[10]), DottedIpv4(c.trapAddress))
        .text(std::string(kConfigFieldNames[11]), c.trapCommunity)
        .text(std::string(kConfigFieldNames[12]), NetworkModeText(c.networkMode))
        .number(std::string(kConfigFieldNames[13]), c.adhocChannel)
        .text(std::string(kConfigFieldNames[14]), c.ssid)
        .number(std::string(kConfigFieldNames[15]), c.inactivityTime)
        .text(std::string(kConfigFieldNames[16]), EnumText(kIpAssignmentTable, c.ipAssignment))
        .text(std::string(kConfigFieldNames[17]), DottedIpv4(c.ipAddress))
        .text(std::string(kConfigFieldNames[18]), DottedIpv4(c.subnetMask))
        .text(std::string(kConfigFieldNames[19]), DottedIpv4(c.gateway))
        .text(std::string(kConfigFieldNames[20]), EnumText(kAuthenticationTable, c.authentication))
        .text(std::string(kConfigFieldNames[21]), EnumText(kCryptographTable, c.cryptograph))
        .text(std::string(kConfigFieldNames[22]), c.wepKey)
        .text(std::string(kConfigFieldNames[23]), c.pskKey)
        .text(std::string(kConfigFieldNames[24]), EnumText(kEapModeTable, c.eapMode))
        .text(std::string(kConfigFieldNames[25]), c.authId)
        .text(std::string(kConfigFieldNames[26]), c.authPassword);
    return r;
}

std::string ConfigText(const IfConfigRecord& record)
{
    return ConfigRecord(record).lines();
}

} // namespace pavix::cli
