#include "MainProgram.h"

#include "CloseSignals.h"
#include "Main.h"
#include "RuntimeFolder.h"
#include "UpdaterProgram.h"
#include "UtilBox/Translation.h"
#include "UtilBox/ui/ApplicationEvents.h"
#include "runtime/MainThreadQueue.h"

#include <QPointer>
#include <QTimer>
#include <clocale>
#include <string>

namespace kalmora {
namespace {

constexpr int PollInterval = 100;

// The wake hook stays installed exactly while the event loop can run the queued calls.
class TMainThreadWake {
public:
    TMainThreadWake() {
        SetWakeMainThread([] { Wake(); });
        // A worker that finished before the loop existed has queued its end already.
        Wake();
    }
    ~TMainThreadWake() { SetWakeMainThread({}); }
    static void Wake() {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { CheckSynchronize(); }, Qt::QueuedConnection);
    }
    TMainThreadWake(const TMainThreadWake&) = delete;
    TMainThreadWake& operator=(const TMainThreadWake&) = delete;
};

// The fatal-message handling for exactly as long as what it refers to lives.
class TFatalToolkitExit {
public:
    explicit TFatalToolkitExit(std::function<void()> beforeExit) {
        InstallQtMessageHandler(std::move(beforeExit));
    }
    ~TFatalToolkitExit() { InstallQtMessageHandler(); }
    TFatalToolkitExit(const TFatalToolkitExit&) = delete;
    TFatalToolkitExit& operator=(const TFatalToolkitExit&) = delete;
};

} // namespace

void RunUpdateWindow(int& argc, char** argv, std::unique_ptr<TThreadManager>& manager,
                     const std::function<void()>& onPoll) {
    ChooseWindowPlatform();
    TRuntimeFolder runtimeFolder;
    // A toolkit that cannot start, or go on, ends the run as a cancel would, and the runtime folder goes.
    TFatalToolkitExit fatalExit([&manager, &runtimeFolder] {
        SetWakeMainThread({});
        CloseUpdate(manager);
        runtimeFolder.Remove();
    });
    TlmApplication application(argc, argv);
    // The toolkit adopts the whole user locale; numbers stay in the program's own format settings.
    std::setlocale(LC_NUMERIC, "C");
    InitTranslation();
    QCoreApplication::setApplicationName(QString::fromUtf8(ApplicationTitle.data(), ApplicationTitle.size()));
    TMainThreadWake wake;

    QPointer<TMainForm> form = new TMainForm(manager);
    // A close signal closes the window as its close box does.
    QTimer poll;
    poll.setInterval(PollInterval);
    QObject::connect(&poll, &QTimer::timeout, [&form, &onPoll] {
        if (CloseRequested() && form)
            form->close();
        if (onPoll)
            onPoll();
    });
    poll.start();
    form->show();
    QApplication::exec();
    poll.stop();
    delete form.data();
    // Only when the loop ended without the window's close handling (it cannot today) is anything left.
    CloseUpdate(manager);
}

} // namespace kalmora
