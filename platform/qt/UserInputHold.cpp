#include "platform/qt/UserInputHold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace platform::qt {

UserInputHold::UserInputHold(QWidget* window) : window_(window != nullptr ? window->window() : nullptr)
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->installEventFilter(this);
}

UserInputHold::~UserInputHold()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
    for (auto& [receiver, event] : held_) {
        if (receiver != nullptr)
            QCoreApplication::postEvent(receiver, event.release());
    }
}

bool UserInputHold::isUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

bool UserInputHold::belongsToWindow(QObject* receiver) const
{
    if (window_ == nullptr || receiver == nullptr)
        return false;
    if (receiver->isWidgetType())
        return static_cast<QWidget*>(receiver)->window() == window_;
    if (receiver->isWindowType())
        return receiver == window_->windowHandle();
    return false;
}

bool UserInputHold::eventFilter(QObject* receiver, QEvent* event)
{
    if (!isUserInput(event) || !belongsToWindow(receiver))
        return false;
    // Held as it came; a QWidgetWindow receiver hands it to the widget under
    // the pointer when it is delivered.
    held_.emplace_back(QPointer<QObject>(receiver), std::unique_ptr<QEvent>(event->clone()));
    return true;
}

} // namespace platform::qt
