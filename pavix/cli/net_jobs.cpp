#include "pavix/cli/net_jobs.h"

#include "pavix/search/DeviceListModel.h"
#include "platform/clock.h"

#include <cstdio>
#include <cstdlib>

namespace pavix::cli {

using platform::cli::jsonString;
using search::DeviceList;
using search::DeviceRecord;
using search::SearchMode;

namespace {

const char* modeName(SearchMode mode)
{
    return mode == SearchMode::Wlan ? "wlan" : "ethernet";
}

std::string hexText(const search::Bytes& bytes)
{
    std::string out;
    char pair[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        out += pair;
    }
    return out;
}

// The search window's countdown is fixed; the command line takes answers for
// --wait instead, still through the search job (so an answer is read the
// same way, and a short WLAN datagram still ends the search at once).
class TimedSearch final : public search::DatagramJob {
public:
    TimedSearch(search::SearchJob& inner, int waitMs) : inner_(inner), waitMs_(waitMs) {}

    platform::JobNext start() override
    {
        const platform::JobNext first = inner_.start();
        if (first.isEnd()) {
            endWith(first.result());
            return first;
        }
        return platform::JobNext::step(kOver, static_cast<std::uint32_t>(waitMs_));
    }
    platform::JobNext fire(int /*timerId*/) override
    {
        const platform::JobResult result{platform::JobEnd::Ok, {}, search::kSearchDone};
        if (!ended())
            endWith(result);
        return platform::JobNext::end(endResult());
    }
    platform::JobResult cancelled() override
    {
        const platform::JobResult result = inner_.cancelled();
        if (!ended())
            endWith(result);
        return result;
    }
    bool offer(search::ByteView datagram, bool truncated) override
    {
        if (ended())
            return false;
        inner_.offer(datagram, truncated);
        if (inner_.ended())
            endWith(inner_.endResult());
        return !ended();
    }

private:
    static constexpr int kOver = 1;
    search::SearchJob& inner_;
    int waitMs_;
};

JobResult udpFailure(std::string message, std::string reason)
{
    JobResult r = failure(kExitFailed, "udp", std::move(message));
    r.reason = std::move(reason);
    return r;
}

// A message of the windows as the error line and the JSON message.
JobResult windowFailure(int exitStatus, std::string code, std::string_view message)
{
    JobResult r = failure(exitStatus, std::move(code), OneLine(message));
    r.jsonMessage = std::string(message);
    return r;
}

struct Searched {
    search::UdpChannel channel;
    DeviceList list;
    search::SearchReport report;
};

// Binds, searches, and leaves the socket open for a store. False with the
// failure in `failed`.
bool runSearch(const NetOptions& net, Searched& s, JobResult& failed)
{
    search::UdpSettings settings;
    std::string problem;
    if (!MakeUdpSettings(net, [](const char* name) { return std::getenv(name); }, settings, problem)) {
        failed = failure(kExitUsage, "usage", problem);
        return false;
    }
    platform::OsError listError;
    std::vector<platform::NetInterface> interfaces;
    if (!settings.broadcast.target)
        interfaces = platform::listNetInterfaces(&listError);
    if (!s.channel.open(settings, std::move(interfaces))) {
        failed = udpFailure("the UDP socket could not be bound to " +
                                platform::UdpEndpoint{settings.bind, settings.localPort}.text(),
                            s.channel.error());
        failed.hint = "Another program may hold the local port; --local-port N takes another.";
        return false;
    }
    search::SearchJob job(net.mode, s.list, s.channel.sender());
    TimedSearch timed(job, net.waitMs);
    const platform::JobResult result = search::RunDatagramJob(timed, platform::systemClock(), s.channel.receiver());
    s.report = job.report();
    if (result.code == search::kSearchNotSent) {
        failed = udpFailure("the search request could not be sent", s.report.send.error);
        if (listError.isSet())
            failed.notes.push_back("network interfaces: " + listError.describe());
        return false;
    }
    if (result.end == platform::JobEnd::Cancel && !result.message.empty()) {
        failed = udpFailure("receiving the answers failed", result.message);
        return false;
    }
    return true;
}

JobResult noDevice(const NetOptions& net, const DeviceList& list)
{
    return failure(kExitFailed, "device",
                   "no device " + net.device.typed + " in the " + modeName(net.mode) + " search (" +
                       std::to_string(list.size()) + " found)");
}

JobResult searchCommand(const NetOptions& net)
{
    Searched s;
    JobResult r;
    if (!runSearch(net, s, r))
        return r;
    r.text = SearchRows(net.mode, s.list);
    r.jsonMembers = SearchJsonMembers(net.mode, s.list);
    r.status = SearchNotes(s.report);
    return r;
}

JobResult deviceCommand(const std::string& command, const NetOptions& net)
{
    Searched s;
    JobResult r;
    if (!runSearch(net, s, r))
        return r;
    const int number = FindDevice(s.list, net.device);
    if (number == 0) {
        r = noDevice(net, s.list);
        r.status = SearchNotes(s.report);
        return r;
    }
    const DeviceRecord& record = *s.list.find(number);
    if (command == "show") {
        const platform::cli::Record fields = DeviceShowRecord(net.mode, number, record);
        r.text = fields.lines();
        const std::string json = fields.json();
        r.jsonMembers = json.substr(1, json.size() - 3);
        r.status = SearchNotes(s.report);
        return r;
    }
    if (command == "web") {
        r.text = search::WebAddress(record) + "\n";
        r.jsonMembers = "\"web_address\": " + jsonString(search::WebAddress(record));
        r.status = SearchNotes(s.report);
        return r;
    }

    std::string notice;
    const search::SaveDecision decision = PlanStore(s.list, number, net, &notice);
    if (decision.kind != search::SaveDecision::Send) {
        r = windowFailure(kExitUsage, "refused",
                          decision.kind == search::SaveDecision::Refused ? decision.message
                                                                         : std::string("nothing to save"));
        r.status = SearchNotes(s.report);
        if (!notice.empty())
            r.status.push_back(OneLine(notice));
        return r;
    }
    search::StoreJob store(net.mode, s.list, number, decision.datagram, decision.pending, s.channel.sender());
    const platform::JobResult result = search::RunDatagramJob(store, platform::systemClock(), s.channel.receiver());
    if (result.code == search::kStoreNotSent) {
        r = udpFailure("the store datagram could not be sent", store.sendResult().error);
    } else if (result.end == platform::JobEnd::Cancel) {
        r = udpFailure("receiving the answer failed", result.message);
    } else if (result.code == search::kStoreTimedOut) {
        r = windowFailure(kExitFailed, "store", search::kStoreFailedMessage);
        r.notes.push_back("no answer within " + std::to_string(search::StoreWaitMs(net.mode)) + " ms");
    } else {
        r.text = OneLine(result.message) + "\n";
        r.jsonMembers = "\"message\": " + jsonString(result.message) +
                        ", \"sent\": " + jsonString(hexText(decision.datagram));
    }
    r.status = SearchNotes(s.report);
    if (!notice.empty())
        r.status.push_back(OneLine(notice));
    r.status.push_back("sent: " + hexText(decision.datagram));
    return r;
}

} // namespace

std::string OneLine(std::string_view message)
{
    std::string out;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else if (message[i] == '\n' || message[i] == '\r') {
            out += ' ';
        } else {
            out += message[i];
        }
    }
    return out;
}

std::string SearchRows(SearchMode mode, const DeviceList& list)
{
    std::string out;
    for (const search::DeviceRow& row : search::MakeRows(list)) {
        const std::vector<std::string> columns = row.columns();
        // Appended piece by piece: GCC 12 at -O3 misreads a "\t" + string
        // temporary as an overlapping copy.
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                out += '\t';
            out += columns[i];
        }
        if (mode == SearchMode::Wlan) {
            out += '\t';
            out += std::to_string(row.capability);
        }
        out += "\n";
    }
    return out;
}

std::string SearchJsonMembers(SearchMode mode, const DeviceList& list)
{
    std::string out = "\"mode\": " + jsonString(modeName(mode)) + ", \"devices\": [";
    int number = 1;
    for (const DeviceRecord& record : list.records()) {
        std::string json = DeviceShowRecord(mode, number, record).json();
        json.pop_back();
        out += (number > 1 ? ", " : "") + json;
        ++number;
    }
    return out + "]";
}

std::vector<std::string> SearchNotes(const search::SearchReport& report)
{
    std::vector<std::string> notes;
    if (report.truncated > 0)
        notes.push_back("note: " + std::to_string(report.truncated) + " datagram(s) longer than " +
                        std::to_string(search::kMaxDatagram) + " bytes, read from their first bytes");
    if (report.shortAnswers > 0)
        notes.push_back("note: " + std::to_string(report.shortAnswers) +
                        " answer(s) cut short, the missing record bytes read as 0");
    if (report.ignored > 0)
        notes.push_back("note: " + std::to_string(report.ignored) + " datagram(s) that are no answer ignored");
    if (report.endedEarly)
        notes.push_back("note: a datagram too short for an answer ended the search early");
    return notes;
}

platform::cli::Record DeviceShowRecord(SearchMode mode, int number, const DeviceRecord& record)
{
    const search::DeviceRow row = search::MakeRow(number, record);
    char firmware[16];
    std::snprintf(firmware, sizeof firmware, "%d.%d", record.firmwareMajor, record.firmwareMinor);
    platform::cli::Record r;
    r.number("No", number)
        .text("Mac Address", row.mac)
        .text("IP Address", row.ip)
        .text("Subnet", row.subnet)
        .text("Gateway", row.gateway)
        .text("Port", row.port)
        .text("Version", row.version)
        .number("Local Port", record.localPort)
        .text("Baud Rate", search::BaudRateText(record.baudCode))
        .text("Firmware", firmware)
        .text("DHCP", record.dhcp != 0 ? "on" : "off")
        .number("Inactivity Time", record.inactivitySeconds)
        .text("HTTPS", record.https != 0 ? "on" : "off");
    if (mode == SearchMode::Wlan)
        r.number("Capability", record.capability);
    r.text("Web Address", search::WebAddress(record)).text("Record", hexText(search::EncodeRecord(record, mode)));
    return r;
}

int FindDevice(const DeviceList& list, const DeviceChoice& choice)
{
    if (choice.number)
        return list.find(*choice.number) != nullptr ? *choice.number : 0;
    if (choice.mac) {
        for (int number = 1; number <= list.size(); ++number) {
            if (list.find(number)->mac == *choice.mac)
                return number;
        }
    }
    return 0;
}

search::SaveDecision PlanStore(const DeviceList& list, int number, const NetOptions& net, std::string* notice)
{
    search::SettingOpening opening = search::NetworkSettingModel::open(list, net.mode, number);
    if (!opening.model)
        return {search::SaveDecision::Refused, opening.message, false, {}, {}};
    if (notice != nullptr)
        *notice = opening.message;
    search::NetworkSettingModel& form = *opening.model;
    const auto address = [](const std::optional<std::string>& text, search::Ipv4& into) {
        if (const auto parsed = text ? platform::Ipv4Address::parse(*text) : std::nullopt)
            into = parsed->octets;
    };
    address(net.ip, form.ip);
    address(net.subnet, form.subnet);
    address(net.gateway, form.gateway);
    if (net.printerPort) {
        const search::EditCheck check = form.editPort(*net.printerPort);
        if (!check.message.empty())
            return {search::SaveDecision::Refused, check.message, true, {}, {}};
    }
    if (net.inactivity) {
        const search::EditCheck check = form.editInactivity(*net.inactivity);
        if (!check.message.empty())
            return {search::SaveDecision::Refused, check.message, false, {}, {}};
    }
    if (net.dhcp)
        form.setDhcp(*net.dhcp);
    if (net.baud) {
        // A board with a code outside the table has the list disabled in the
        // window; a rate typed here still replaces the code.
        if (const auto code = search::BaudCodeForRate(*net.baud)) {
            if (form.baudListEnabled()) {
                form.selectBaud(search::BaudPosition(*code));
            } else {
                search::SaveDecision decision = form.save();
                if (decision.kind == search::SaveDecision::Send) {
                    decision.pending.baudCode = *code;
                    decision.datagram = search::StoreRequest(net.mode, decision.pending);
                }
                return decision;
            }
        }
    }
    return form.save();
}

bool MakeUdpSettings(const NetOptions& net, const search::EnvLookup& lookup, search::UdpSettings& settings,
                     std::string& problem)
{
    settings = search::DefaultUdpSettings(net.mode);
    problem = search::ApplyUdpEnvironment(settings, lookup);
    if (!problem.empty())
        return false;
    if (!net.target.empty()) {
        settings.broadcast.target = platform::Ipv4Address::parse(net.target);
        settings.broadcast.interfaceName.clear();
    }
    if (!net.interfaceName.empty()) {
        settings.broadcast.interfaceName = net.interfaceName;
        settings.broadcast.target.reset();
    }
    if (!net.bind.empty())
        settings.bind = *platform::Ipv4Address::parse(net.bind);
    if (net.localPort)
        settings.localPort = static_cast<std::uint16_t>(*net.localPort);
    if (net.remotePort)
        settings.remotePort = static_cast<std::uint16_t>(*net.remotePort);
    return true;
}

JobResult runNetJob(const Options& options)
{
    if (options.command == "search")
        return searchCommand(options.net);
    return deviceCommand(options.command, options.net);
}

} // namespace pavix::cli
