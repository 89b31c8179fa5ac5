#include "ApplicationEvents.h"

#include "MessageBox.h"
#include "UtilBox/ErrorText.h"
#include "lmDebug/lmDebug.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora {
namespace {

std::string_view EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

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
    const std::string_view asked = EnvironmentValue("QT_QPA_PLATFORM");
    if (!asked.empty())
        return !asked.starts_with("offscreen") && !asked.starts_with("minimal");
    std::string platforms;
    if (!EnvironmentValue("WAYLAND_DISPLAY").empty())
        platforms += "wayland;";
    if (!EnvironmentValue("DISPLAY").empty())
        platforms += "xcb;";
    const bool named = !platforms.empty();
    platforms += "offscreen";
    setenv("QT_QPA_PLATFORM", platforms.c_str(), 1);
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
