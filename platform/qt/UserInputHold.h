// Holds user input to one window back while it runs a job.
//
// Input from the window system already waits in its queue while events are
// processed without user input; this catches what arrives by other ways
// (input posted or sent by the program or a test, nested event loops) for
// the window's widgets, keeps it in order and posts it again when the hold
// ends. Input to other windows (a message box shown meanwhile) passes.
#pragma once

#include "platform/job.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

class QEvent;
class QWidget;

namespace platform::qt {

class UserInputHold final : public QObject {
public:
    explicit UserInputHold(QWidget* window);
    ~UserInputHold() override;
    UserInputHold(const UserInputHold&) = delete;
    UserInputHold& operator=(const UserInputHold&) = delete;

    // Events held so far.
    std::size_t heldCount() const { return held_.size(); }

    static bool isUserInput(const QEvent* event);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    bool belongsToWindow(QObject* receiver) const;

    QPointer<QWidget> window_;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

// Runs each phase of `inner` (and its cancel, which may still send) with
// the window's input held, handing it over when the phase has ended: a
// click on Cancel, an Escape or a close during a blocking read or write
// reaches the window between phases, where a cancel can be honoured, and
// nothing else re-enters the window mid-phase.
class InputHeldJob final : public platform::Job {
public:
    InputHeldJob(platform::Job& inner, QWidget* window) : inner_(inner), window_(window) {}

    platform::JobNext start() override
    {
        UserInputHold hold(window_);
        return inner_.start();
    }
    platform::JobNext fire(int timerId) override
    {
        UserInputHold hold(window_);
        return inner_.fire(timerId);
    }
    platform::JobResult cancelled() override
    {
        UserInputHold hold(window_);
        return inner_.cancelled();
    }

private:
    platform::Job& inner_;
    QWidget* window_;
};

} // namespace platform::qt
