// How the start window opens the Serial/USB configuration window.
#pragma once

class QWidget;

namespace pavix {
class PrinterPort;
}

namespace pavix::gui {

// The program's one board link, created on first use and released at exit.
PrinterPort& ProgramPrinterPort();

// Shows the Serial/USB configuration window modally over `parent`, on the
// program's port, with real message boxes and the device roots of the
// environment.
void openSerialUsbWindow(QWidget* parent);

} // namespace pavix::gui
