#include "pavix/gui/PavixCommon.h"

#include "pavix/link/IfLink.h"

#include <QDesktopServices>

namespace pavix::gui {

bool DesktopUrlOpener::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString DisplayText(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

search::UdpSettings UdpSettingsFromEnvironment(search::SearchMode mode, const search::EnvLookup& lookup,
                                               std::string* problem)
{
    search::UdpSettings settings = search::DefaultUdpSettings(mode);
    const std::string error = search::ApplyUdpEnvironment(settings, lookup);
    if (problem != nullptr)
        *problem = error;
    return settings;
}

std::uint16_t BssTcpPortFromEnvironment(const search::EnvLookup& lookup)
{
    const char* value = lookup("PAVIX_BSS_TCP_PORT");
    if (value == nullptr)
        return kBssTcpPort;
    const auto port = search::ParseUdpPort(value);
    return port && *port != 0 ? *port : kBssTcpPort;
}

} // namespace pavix::gui
