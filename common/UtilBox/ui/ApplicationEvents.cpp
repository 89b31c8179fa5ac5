#include "ApplicationEvents.h"

#include "MessageBox.h"
#include "UtilBox/ErrorText.h"
#include "lmDebug/lmDebug.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <vector>

namespace kalmora {
namespace {

// Main thread only, newest last.
std::vector<TApplicationEvents*>& Listeners() {
    static std::vector<TApplicationEvents*> listeners;
    return listeners;
}

void QtMessageToDebugLog(QtMsgType type, const QMessageLogContext&, const QString& message) {
    // Qt's own notes travel in the quiet category of the start and stop messages, off by default.
    std::uint16_t flags = DebugFlags::Lifecycle;
    if (type == QtWarningMsg || type == QtCriticalMsg)
        flags = DebugFlags::Warning;
    else if (type == QtFatalMsg)
        flags = DebugFlags::Error;
    DebugLog(message.toStdString(), "Qt", flags);
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

void InstallQtMessageHandler() {
    qInstallMessageHandler(QtMessageToDebugLog);
}

} // namespace kalmora
