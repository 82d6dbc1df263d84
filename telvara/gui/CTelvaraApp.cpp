#include "telvara/gui/CTelvaraApp.h"

#include "telvara/gui/GuiTexts.h"
#include "telvara/gui/SpoolerWiring.h"
#include "telvara/link/LinkTexts.h"

#include "platform/cli/stop_signals.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/qt/Prompter.h"
#include "platform/registry_store.h"
#include "platform/spooler/spooler.h"

#include <QTimer>

#include <cstdio>
#include <cstring>

namespace telvara {
namespace {

constexpr const char* kUsage =
    "Usage: telvara [PRINTER]\n"
    "Memory switch manager for KTP-M880 and KTP-M882 POS printers.\n"
    "\n"
    "  PRINTER        an installed printer's name (Custom_KTP-M880, Custom_KTP-M882 or a\n"
    "                 printer queue); its interface and line settings preset the window\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";

} // namespace

std::optional<int> AnswerWithoutDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(word, "--version") == 0) {
            std::printf("telvara %s\n", gui_text::kVersion);
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options)
{
    QStringList words = arguments.mid(1);
    if (!words.isEmpty() && words.front() == QStringLiteral("--")) {
        words.removeFirst();  // a printer name that starts with a dash follows
    } else {
        for (const QString& word : words) {
            if (word.startsWith(QLatin1Char('-')) && word != QStringLiteral("-")) {
                std::fprintf(stderr, "telvara: unknown option %s\n%s", qPrintable(word), kUsage);
                return 2;
            }
        }
    }
    if (words.size() > 1) {
        std::fprintf(stderr, "telvara: one printer name at most\n%s", kUsage);
        return 2;
    }
    if (!words.isEmpty())
        options.printerName = words.front();
    return std::nullopt;
}

CTelvaraApp::CTelvaraApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("telvara"));
    setApplicationVersion(QString::fromLatin1(gui_text::kVersion));
}

int CTelvaraApp::Run(const LaunchOptions& options)
{
    const platform::RegistryStore registry;
    platform::qt::QtPrompter prompter;
    // Before the window: queues a killed run left stopped are resumed first.
    SpoolerGuard guard(platform::spooler::makeCupsSpooler());
    const auto report = [&prompter](const std::string& problem) {
        // Ending on a signal: nobody is there to close a message box.
        if (platform::cli::stopSignal() != 0) {
            std::fprintf(stderr, "telvara: %s\n", problem.c_str());
            return;
        }
        prompter.warning(nullptr, QString::fromLatin1(texts::kWarning.data(), qsizetype(texts::kWarning.size())),
                         QString::fromStdString(problem), {});
    };
    if (const std::string stale = RestoreProblem(guard.staleRestore()); !stale.empty())
        report(stale);
    TelvaraHooks wired = hooks;
    WireSpooler(wired, guard, registry, report);
    CTelvaraDlg dialog(TelvaraServices{prompter, platform::systemClock(), platform::systemDevices(), registry},
                       wired);
    if (!options.printerName.isEmpty())
        dialog.PresetFromPrinter(options.printerName);

    QTimer stopWatch;
    stopWatch.setInterval(kSignalPollMs);
    QObject::connect(&stopWatch, &QTimer::timeout, &dialog, [&dialog] {
        if (platform::cli::stopSignal() != 0)
            dialog.done(QDialog::Rejected);
    });
    stopWatch.start();
    // The window is the program: when it closes, the program ends.
    dialog.exec();
    return platform::cli::stopExitStatus();
}

} // namespace telvara
