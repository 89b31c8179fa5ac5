#include "MainProgram.h"

#include "CloseSignals.h"
#include "Main.h"
#include "UpdaterProgram.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/Translation.h"
#include "UtilBox/ui/ApplicationEvents.h"
#include "runtime/MainThreadQueue.h"

#include <QPointer>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kalmora {
namespace {

constexpr int PollInterval = 100;

bool HasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

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

// Without XDG_RUNTIME_DIR the toolkit makes a runtime folder in the temporary directory and leaves it there.
// A private one for this run is made instead and removed with everything in it when the run ends.
class TPrivateRuntimeDir {
public:
    TPrivateRuntimeDir() {
        if (HasEnv("XDG_RUNTIME_DIR"))
            return;
        std::string pattern = AddTrailingBackslash(GetTempDirectory()) + "kalmora-updater-runtime.XXXXXX";
        if (!mkdtemp(pattern.data()))
            return; // the toolkit then complains into the debug log and falls back on its own
        FFolder = pattern;
        setenv("XDG_RUNTIME_DIR", FFolder.c_str(), 1);
    }
    ~TPrivateRuntimeDir() {
        if (FFolder.empty())
            return;
        unsetenv("XDG_RUNTIME_DIR");
        std::error_code ec;
        std::filesystem::remove_all(FFolder, ec);
    }
    TPrivateRuntimeDir(const TPrivateRuntimeDir&) = delete;
    TPrivateRuntimeDir& operator=(const TPrivateRuntimeDir&) = delete;

private:
    std::string FFolder;
};

} // namespace

void RunUpdateWindow(int& argc, char** argv, std::unique_ptr<TThreadManager>& manager,
                     const std::function<void()>& onPoll) {
    ChooseWindowPlatform();
    TPrivateRuntimeDir runtimeDir;
    InstallQtMessageHandler();
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
