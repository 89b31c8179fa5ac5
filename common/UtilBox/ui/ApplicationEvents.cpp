#include "ApplicationEvents.h"

#include "MessageBox.h"
#include "UtilBox/ErrorText.h"
#include "lmDebug/lmDebug.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kalmora {
namespace {

// Main thread only, newest last.
std::vector<TApplicationEvents*>& Listeners() {
    static std::vector<TApplicationEvents*> listeners;
    return listeners;
}

// Main thread only, like the toolkit's start.
std::function<void()>& BeforeFatalExit() {
    static std::function<void()> beforeExit;
    return beforeExit;
}

[[noreturn]] void ExitOnFatalMessage(const QString& message) {
    // Qt's text may span lines; the program's failure is one line.
    const std::string text = message.simplified().toStdString();
    std::fprintf(stderr, "%s: the window toolkit cannot go on: %s\n", program_invocation_short_name,
                 text.c_str());
    std::fflush(stderr);
    try {
        if (BeforeFatalExit())
            BeforeFatalExit()();
    } catch (...) {
        // The line is out; nothing more can be told.
    }
    // Returning would let Qt abort; static destructors must not run while other threads may still use them.
    std::_Exit(1);
}

void QtMessageToDebugLog(QtMsgType type, const QMessageLogContext&, const QString& message) {
    // Qt's own notes travel in the quiet category of the start and stop messages, off by default.
    // A fatal one is the program's own stderr line below, so the log has it only when asked for warnings.
    std::uint16_t flags = DebugFlags::Lifecycle;
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        flags = DebugFlags::Warning;
    DebugLog(message.toStdString(), "Qt", flags);
    if (type == QtFatalMsg)
        ExitOnFatalMessage(message);
}

} // namespace

TApplicationEvents::TApplicationEvents(QObject* owner) : QObject(owner) {
    Listeners().push_back(this);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

TApplicationEvents::~TApplicationEvents() {
    auto& listeners = Listeners();
    listeners.erase(std::remove(listeners.begin(), listeners.end(), this), listeners.end());
}

bool TApplicationEvents::OnMessage(QObject*, QEvent*) {
    return false;
}

bool TApplicationEvents::eventFilter(QObject* receiver, QEvent* event) {
    return OnMessage(receiver, event);
}

void HandleApplicationException(const std::exception_ptr& error) {
    auto& listeners = Listeners();
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        if ((*it)->HandlesExceptions()) {
            (*it)->OnException(error);
            return;
        }
    if (!IsAbort(error))
        ShowEscapedException(error);
}

void ShowEscapedException(const std::exception_ptr& error) {
    auto caught = DescribeException(error);
    ShowMessageBox({TMessageIcon::Error, QGuiApplication::applicationDisplayName().toStdString(),
                    EscapedMessageText(caught.message), TMessageButtons::Ok});
}

bool ChooseWindowPlatform() {
    const QString asked = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!asked.isEmpty())
        return !asked.startsWith(QLatin1String("offscreen")) && !asked.startsWith(QLatin1String("minimal"));
    QByteArray platforms;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        platforms += "wayland;";
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms += "xcb;";
    const bool named = !platforms.isEmpty();
    platforms += "offscreen";
    qputenv("QT_QPA_PLATFORM", platforms);
    return named;
}

TlmApplication::TlmApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TlmApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        try {
            HandleApplicationException(std::current_exception());
        } catch (...) {
            // The display of an error failed too; there is nobody left to tell.
        }
        return false;
    }
}

void InstallQtMessageHandler(std::function<void()> beforeExit) {
    BeforeFatalExit() = std::move(beforeExit);
    qInstallMessageHandler(QtMessageToDebugLog);
}

} // namespace kalmora
