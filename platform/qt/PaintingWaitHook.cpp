#include "platform/qt/PaintingWaitHook.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace platform::qt {
namespace {

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

thread_local bool t_painting = false;

} // namespace

void PaintPendingWindows()
{
    if (t_painting || !onGuiThread())
        return;
    t_painting = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    t_painting = false;
}

ScopedPaintingWaitHook::ScopedPaintingWaitHook()
    : hook_(onGuiThread() ? platform::WaitHook(&PaintPendingWindows) : platform::WaitHook())
{
}

} // namespace platform::qt
