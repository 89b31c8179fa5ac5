#include "Main.h"

#include "UpdaterProgram.h"
#include "UtilBox/ui/ErrorDisplay.h"
#include "UtilBox/ui/ProgressAnimation.h"
#include "kmConfigUpdaterThread/ConfigUpdaterThread.h"
#include "runtime/MainThreadQueue.h"
#include "ui_Main.h"

#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <thread>

namespace kalmora {
namespace {

using namespace std::chrono_literals;
constexpr int CheckInterval = 100;
constexpr auto FullBarPause = 500ms;
constexpr auto BeforeClosePause = 200ms;
constexpr auto CloseDelay = 1000ms;
constexpr int FontPixels = 11; // 8 point at 96 pixels per inch

} // namespace

TMainForm::TMainForm(std::unique_ptr<TThreadManager>& manager, QWidget* parent)
    : TlmForm(parent), Components(std::make_unique<Ui::TMainForm>()), FManager(manager) {
    Components->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(598, 455);
    ApplyFont();

    TimerCheckDone = new QTimer(this);
    TimerCheckDone->setInterval(CheckInterval);
    connect(TimerCheckDone, &QTimer::timeout, this, [this] { TimerCheckDoneTimer(); });
    connect(Components->RadioYes, &QRadioButton::clicked, this, [this] { RadioYesClick(); });
    connect(Components->RadioNo, &QRadioButton::clicked, this, [this] { RadioNoClick(); });
    Components->Wizard->OnCancelButtonClick = [this] { WizardCancelButtonClick(); };
    Components->PageInstall->OnCancelButtonClick = [this] { PageInstallCancelButtonClick(); };
    Components->PageInstall->OnPage = [this] { PageInstallPage(); };
    Components->Wizard->Loaded();

    DoCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::ApplyFont() {
    QFont face = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        face.setFamily(QStringLiteral("Tahoma"));
    face.setPixelSize(FontPixels);
    setFont(face);
}

void TMainForm::FormCreate() {
    SkipLicensePage = true;
}

void TMainForm::showEvent(QShowEvent* event) {
    TlmForm::showEvent(event);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    if (SkipLicensePage && Components->PageLicense->PageEnabled())
        QCoreApplication::postEvent(this, new QEvent(WM_DISABLE_LICENSE_PAGE));
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == WM_DISABLE_LICENSE_PAGE) {
        Components->PageLicense->SetPageEnabled(false);
        return true;
    }
    return TlmForm::event(event);
}

void TMainForm::PageInstallPage() {
    StartProgressAnimation(Components->ProgressBarInstall, 100, 10.0);
    TimerCheckDone->start();
}

void TMainForm::TimerCheckDoneTimer() {
    // Closing frees the manager; a tick that comes after that must not ask it.
    if (FClosing || !FManager) {
        TimerCheckDone->stop();
        return;
    }
    if (FManager->IsThreadRunning(std::string(ConfigUpdaterThreadName)))
        return;
    TimerCheckDone->stop();
    QProgressBar* bar = Components->ProgressBarInstall;
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(FullBarPause);
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(BeforeClosePause);
    if (!FClosing)
        close();
}

void TMainForm::RadioYesClick() {
    auto buttons = Components->PageLicense->EnabledButtons();
    buttons.Include(TWizardButton::Next);
    Components->PageLicense->SetEnabledButtons(buttons);
}

void TMainForm::RadioNoClick() {
    auto buttons = Components->PageLicense->EnabledButtons();
    buttons.Exclude(TWizardButton::Next);
    Components->PageLicense->SetEnabledButtons(buttons);
}

void TMainForm::PageInstallCancelButtonClick() {
    WizardCancelButtonClick();
}

void TMainForm::WizardCancelButtonClick() {
    close();
}

void TMainForm::FormClose() {
    FClosing = true;
    TimerCheckDone->stop();
    setAttribute(Qt::WA_DeleteOnClose);
    try {
        StopThreads();
    } catch (...) {
        ReportOrShowException(std::current_exception());
    }
}

void TMainForm::StopThreads() {
    if (!FManager)
        return;
    FManager->TerminateAll(false);
    // The pause before the manager waits for the threads; it ends early once a thread that was still working
    // has stopped, so a cancel is answered within a second. Main-thread calls run meanwhile so that a
    // finishing thread can hand over its end.
    const bool wasRunning = !FManager->RunningThreads().empty();
    const auto until = std::chrono::steady_clock::now() + CloseDelay;
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        if (wasRunning && FManager->RunningThreads().empty())
            break;
        auto slice = std::min<std::chrono::steady_clock::duration>(until - now, 100ms);
        CheckSynchronize(std::chrono::duration_cast<std::chrono::milliseconds>(slice) + 1ms);
    }
    ThreadManager = nullptr;
    std::unique_ptr<TThreadManager> manager = std::move(FManager);
    manager.reset();
}

} // namespace kalmora
