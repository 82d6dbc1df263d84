#include "pavix/search/DeviceListModel.h"

#include <cstdio>

namespace pavix::search {
namespace {

struct CapabilityRow {
    std::uint8_t code;
    DeviceButtons buttons; // setting, web, bssInfo, certificate
};

// What a WLAN board can do, by the capability code it reports.
constexpr CapabilityRow kCapabilities[] = {
    {0, {false, false, false, false}},
    {2, {false, false, false, false}},
    {1, {false, true, false, false}},
    {3, {false, true, false, false}},
    {4, {false, false, false, true}},
    {25, {true, true, true, false}},
    {31, {true, true, true, true}},
};

} // namespace

std::string MacText(const MacAddress& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

std::string DottedText(const Ipv4& address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    return text;
}

std::string AddressText(const Ipv4& address)
{
    return address[0] == 0 ? std::string(kNotConfigured) : DottedText(address);
}

std::string VersionText(std::uint8_t major, std::uint8_t minor)
{
    if (major == 0 && minor == 0)
        return std::string(kNoVersion);
    return std::to_string(major) + "." + std::to_string(minor);
}

DeviceRow MakeRow(int number, const DeviceRecord& record)
{
    DeviceRow row;
    row.no = std::to_string(number);
    row.mac = MacText(record.mac);
    row.ip = AddressText(record.ip);
    row.subnet = AddressText(record.subnet);
    row.gateway = AddressText(record.gateway);
    row.port = std::to_string(record.localPort);
    row.version = VersionText(record.firmwareMajor, record.firmwareMinor);
    row.capability = record.capability;
    return row;
}

std::vector<DeviceRow> MakeRows(const DeviceList& list)
{
    std::vector<DeviceRow> rows;
    int number = 1;
    for (const DeviceRecord& record : list.records())
        rows.push_back(MakeRow(number++, record));
    return rows;
}

std::string WebAddress(const DeviceRecord& record)
{
    return (record.https != 0 ? "https://" : "http://") + DottedText(record.ip);
}

std::optional<DeviceButtons> CapabilityButtons(std::uint8_t code)
{
    for (const CapabilityRow& row : kCapabilities) {
        if (row.code == code)
            return row.buttons;
    }
    return std::nullopt;
}

const std::vector<DeviceRow>& DeviceListModel::fill(const DeviceList& list)
{
    rows_ = MakeRows(list);
    selected_ = -1;
    if (rows_.empty())
        buttons_ = DeviceButtons{};
    else
        select(0);
    return rows_;
}

void DeviceListModel::select(int row)
{
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        selected_ = -1;
        return;
    }
    const DeviceRow& item = rows_[static_cast<std::size_t>(row)];
    selected_ = std::stoi(item.no);
    if (mode_ == SearchMode::Ethernet) {
        buttons_.setting = true;
        buttons_.web = true;
        return;
    }
    if (const auto buttons = CapabilityButtons(item.capability))
        buttons_ = *buttons;
}

ButtonAction DeviceListModel::setting() const
{
    if (selected_ < 0)
        return {ButtonAction::Message, std::string(kSelectDeviceMessage), -1};
    return {ButtonAction::OpenSetting, {}, selected_};
}

ButtonAction DeviceListModel::web(const DeviceList& list) const
{
    if (selected_ < 0)
        return {ButtonAction::Message, std::string(kSelectDeviceMessage), -1};
    const DeviceRecord* record = list.find(selected_);
    if (record == nullptr)
        return {ButtonAction::Message, std::string(kSearchAgainMessage), selected_};
    return {ButtonAction::OpenWeb, WebAddress(*record), selected_};
}

ButtonAction DeviceListModel::bssInfo(const DeviceList& list) const
{
    if (selected_ < 0)
        return {ButtonAction::Message, std::string(kSelectDeviceMessage), -1};
    const DeviceRecord* record = list.find(selected_);
    if (record == nullptr)
        return {ButtonAction::Message, std::string(kSearchAgainMessage), selected_};
    return {ButtonAction::OpenBssInfo, DottedText(record->ip), selected_};
}

ButtonAction DeviceListModel::certificate() const
{
    return {ButtonAction::Message, std::string(kCertificateUploadHint), selected_};
}

} // namespace pavix::search
