#pragma once

// Application-wide event listeners and the routing of exceptions that escape an event handler. Qt lets no
// exception cross its event loop, so the application object catches them in notify() and hands them here:
// the most recently created listener with an exception handler gets it; without one the default display
// shows it in a box titled with the application's name.

#include <QApplication>
#include <QObject>
#include <exception>
#include <functional>

namespace kalmora {

class TApplicationEvents : public QObject {
public:
    // Registers as the newest listener: its handlers are asked before those of older ones.
    explicit TApplicationEvents(QObject* owner = nullptr);
    ~TApplicationEvents() override;

protected:
    // Every event of the main thread's objects; true when handled, so that it is not delivered.
    virtual bool OnMessage(QObject* receiver, QEvent* event);
    // Whether this listener takes escaping exceptions, and what it does with one.
    virtual bool HandlesExceptions() const { return false; }
    virtual void OnException(const std::exception_ptr&) {}

    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    friend void HandleApplicationException(const std::exception_ptr& error);
};

// An exception that escaped an event handler of the main thread. EAbort is silent.
void HandleApplicationException(const std::exception_ptr& error);

// The default display: the application's title as caption, the message with "." where it lacks an ending.
void ShowEscapedException(const std::exception_ptr& error);

class TlmApplication : public QApplication {
public:
    TlmApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Picks the toolkit's platform before the application object exists. Unless QT_QPA_PLATFORM says otherwise:
// the display that WAYLAND_DISPLAY or DISPLAY names, then offscreen, so that a display that cannot be reached
// does not abort the program. False when no screen can show anything (none named, or offscreen or minimal
// asked).
bool ChooseWindowPlatform();

// Sends Qt's own diagnostics (warnings about the session, fonts, ...) to the debug log, not to stderr. A
// fatal one, after which Qt would abort (a platform plugin that cannot be loaded, say), becomes one stderr
// line "PROGRAM: the window toolkit cannot go on: MESSAGE"; then beforeExit runs and the process ends with
// status
// 1. Install it before the application object exists, and again without beforeExit once what it refers to
// is gone.
void InstallQtMessageHandler(std::function<void()> beforeExit = {});

} // namespace kalmora
