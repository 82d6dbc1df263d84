#include "corvane/shell/CZ400TCUtilityApp.h"

#include "corvane/shell/CZ400TCUtilityDlg.h"
#include "corvane/version.h"
#include "platform/qt/Prompter.h"
#include "corvane/shell/ShellCommon.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/registry_store.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace corvane {
namespace {

constexpr const char* kVersion = CORVANE_VERSION_STRING;

} // namespace

std::optional<int> ParseLaunchOptions(int argc, char** argv, LaunchOptions& options)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configuration utility for mobile receipt printers."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Preselect a connection: COMn or a serial device path, a USB printer path "
                       "(/dev/usb/lpN), or NET<a.b.c.d>."),
        QStringLiteral("name"));
    const QCommandLineOption tcpPort(QStringLiteral("tcp-port"),
                                     QStringLiteral("TCP port for a NET connection (default 9100)."),
                                     QStringLiteral("port"));
    parser.addOptions({help, version, port, tcpPort});
    // Qt's own options (-platform, -style, ...) are left to QApplication.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    if (!parser.parse(arguments)) {
        // Unknown options may be Qt's own; only our options' errors count.
        const QString error = parser.errorText();
        if (!error.startsWith(QStringLiteral("Unknown option"))) {
            std::fprintf(stderr, "corvane: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("corvane"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("corvane %s\n", kVersion);
        return 0;
    }
    options.portName = parser.value(port);
    if (parser.isSet(tcpPort)) {
        bool ok = false;
        options.tcpPort = parser.value(tcpPort).toInt(&ok);
        if (!ok || options.tcpPort <= 0 || options.tcpPort > 65535) {
            std::fputs("corvane: --tcp-port needs a number from 1 to 65535\n", stderr);
            return 2;
        }
    }
    return std::nullopt;
}

CZ400TCUtilityApp::CZ400TCUtilityApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("corvane"));
    setApplicationVersion(QString::fromLatin1(kVersion));
    setWindowIcon(ProgramIcon());
}

int CZ400TCUtilityApp::Run(const LaunchOptions& options)
{
    platform::RegistryStore registry;
    platform::qt::QtPrompter prompter;
    CZ400TCUtilityDlg dialog(ShellServices{registry, prompter, platform::systemClock(), platform::systemDevices()});
    if (!options.portName.isEmpty())
        dialog.PreselectConnection(options.portName, options.tcpPort);
    // The window is the program: when it closes, the program ends.
    dialog.exec();
    return 0;
}

} // namespace corvane
