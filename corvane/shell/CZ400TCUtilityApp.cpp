#include "CZ400TCUtilityApp.h"

#include "CZ400TCUtilityDlg.h"
#include "Prompter.h"
#include "ShellCommon.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/registry_store.h"

#include <QCommandLineParser>

namespace corvane {

CZ400TCUtilityApp::CZ400TCUtilityApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("corvane"));
    setApplicationDisplayName(QString::fromUtf8(shell_text::kProgramCaption));
    setApplicationVersion(QStringLiteral("3.0.2"));
    setWindowIcon(ProgramIcon());
}

int CZ400TCUtilityApp::Run()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configuration utility for mobile receipt printers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Preselect a connection: COMn or a serial device path, a USB printer path, or NET<a.b.c.d>."),
        QStringLiteral("name"));
    const QCommandLineOption tcpPortOption(QStringLiteral("tcp-port"),
                                           QStringLiteral("TCP port for a NET connection (default 9100)."),
                                           QStringLiteral("port"));
    parser.addOption(portOption);
    parser.addOption(tcpPortOption);
    parser.process(*this);

    int tcpPort = 0;
    if (parser.isSet(tcpPortOption)) {
        bool ok = false;
        tcpPort = parser.value(tcpPortOption).toInt(&ok);
        if (!ok || tcpPort <= 0 || tcpPort > 65535) {
            qWarning("corvane: --tcp-port needs a number from 1 to 65535");
            return 2;
        }
    }

    platform::RegistryStore registry;
    QtPrompter prompter;
    CZ400TCUtilityDlg dialog(ShellServices{registry, prompter, platform::systemClock(), platform::systemDevices()});
    if (parser.isSet(portOption))
        dialog.PreselectConnection(parser.value(portOption), tcpPort);
    // The window is the program: when it closes, the program ends.
    dialog.exec();
    return 0;
}

} // namespace corvane
