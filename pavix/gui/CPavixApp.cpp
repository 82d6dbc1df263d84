#include "pavix/gui/CPavixApp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pavix::gui {

namespace {

const char* environment(const char* name)
{
    return std::getenv(name);
}

} // namespace

std::optional<int> ParseLaunchOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: pavix [--help] [--version]\n"
                        "Finds network printers and configures their interfaces.\n"
                        "Environment: PAVIX_UDP_TARGET, PAVIX_UDP_BIND, PAVIX_UDP_LOCAL_PORT,\n"
                        "PAVIX_UDP_REMOTE_PORT redirect the search and store datagrams;\n"
                        "PAVIX_BSS_TCP_PORT is the boards' access-point port (3318).\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pavix %s\n", PAVIX_VERSION_STRING);
            return 0;
        }
        // Qt's own options (-platform, -style, ...) pass through.
        if (argv[i][0] == '-' && argv[i][1] == '-') {
            std::fprintf(stderr, "pavix: unknown option %s (try --help)\n", argv[i]);
            return 2;
        }
    }
    return std::nullopt;
}

CPavixApp::CPavixApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pavix"));
    setApplicationVersion(QStringLiteral(PAVIX_VERSION_STRING));
}

int CPavixApp::Run()
{
    std::string problem;
    for (const search::SearchMode mode : {search::SearchMode::Ethernet, search::SearchMode::Wlan}) {
        UdpSettingsFromEnvironment(mode, environment, &problem);
        if (!problem.empty())
            break;
    }
    if (!problem.empty())
        prompter_.warning(nullptr, QString::fromUtf8(text::kCaption), QString::fromStdString(problem), QString());

    const PavixServices services{prompter_,
                                 urlOpener_,
                                 lists_,
                                 [](search::SearchMode mode) { return UdpSettingsFromEnvironment(mode, environment); },
                                 platform::systemDevices(),
                                 BssTcpPortFromEnvironment(environment)};
    CPavixMainDlg main(services);
    main.setSerialUsbOpener(serialUsb_);
    main.exec();
    return 0;
}

} // namespace pavix::gui
