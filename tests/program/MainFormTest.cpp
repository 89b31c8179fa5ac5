#include "Main.h"
#include "UpdaterProgram.h"
#include "UtilBox/Translation.h"
#include "runtime/MainThreadQueue.h"
#include "ui_Main.h"

#include <QPointer>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace kalmora;
using namespace std::chrono_literals;

namespace {

// Stands in for the update thread: works until released or told to terminate.
class FakeUpdateThread : public TManagedThread {
public:
    FakeUpdateThread(TThreadManager& manager, std::atomic<bool>& release, std::atomic<bool>& sawTerminate)
        : TManagedThread("KMConfigUpdaterThread", manager), FRelease(release), FSawTerminate(sawTerminate) {}

protected:
    void Execute() override {
        while (!FRelease && !Terminated())
            std::this_thread::sleep_for(5ms);
        if (Terminated())
            FSawTerminate = true;
    }

private:
    std::atomic<bool>& FRelease;
    std::atomic<bool>& FSawTerminate;
};

class MainForm : public testing::Test {
protected:
    void SetUp() override {
        SetWakeMainThread([] {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { CheckSynchronize(); }, Qt::QueuedConnection);
        });
        Manager = std::make_unique<TThreadManager>();
        ThreadManager = Manager.get();
        CreateManagedThread<FakeUpdateThread>(*Manager, Release, SawTerminate);
        Form = new TMainForm(Manager);
    }
    void TearDown() override {
        Release = true;
        delete Form.data();
        Manager.reset();
        ThreadManager = nullptr;
        SetWakeMainThread({});
    }

    Ui::TMainForm& Parts() { return *Form->Components; }
    bool InstallPageShown() { return Parts().Wizard->ActivePage() == Parts().PageInstall; }
    void ShowUntilInstallPage() {
        Form->show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return InstallPageShown(); }, 2000));
    }
    bool WaitForFormGone(int milliseconds) {
        return QTest::qWaitFor([this] { return Form.isNull(); }, milliseconds);
    }

    std::atomic<bool> Release{false};
    std::atomic<bool> SawTerminate{false};
    std::unique_ptr<TThreadManager> Manager;
    QPointer<TMainForm> Form;
};

} // namespace

TEST_F(MainForm, DescriptionLoaded) {
    EXPECT_EQ(Form->windowTitle(), "Programmaktualisierung");
    EXPECT_EQ(Form->size(), QSize(598, 455));
    EXPECT_TRUE(Form->SkipLicensePage);
    EXPECT_EQ(Form->TimerCheckDone->interval(), 100);
    EXPECT_FALSE(Form->TimerCheckDone->isActive());
    EXPECT_EQ(Parts().Wizard->Pages().size(), 2u);
    EXPECT_EQ(Parts().Wizard->Button(TWizardButton::Next)->text(), "&Weiter >");
    EXPECT_EQ(Parts().Wizard->Button(TWizardButton::Start)->width(), 85);
    EXPECT_EQ(Parts().PageInstall->HeaderTitle(), "Dateien aktualisieren");
    EXPECT_EQ(Parts().LabelInstall->text(), "Prüfung und Aktualisierung läuft  -  bitte warten");
    EXPECT_EQ(Parts().ProgressBarInstall->geometry(), QRect(48, 136, 481, 17));
    EXPECT_TRUE(Parts().RadioNo->isChecked());
    // Until the window is shown, the first enabled page is the licence page.
    EXPECT_EQ(Parts().Wizard->ActivePage(), Parts().PageLicense);
}

TEST_F(MainForm, LanguageEnShowsTheWindowInEnglish) {
    delete Form.data();
    setenv("LANGUAGE", "en", 1);
    InitTranslation();
    Form = new TMainForm(Manager);
    unsetenv("LANGUAGE");
    InitTranslation();
    auto* wizard = Parts().Wizard;
    EXPECT_EQ(Form->windowTitle(), "Program update");
    EXPECT_EQ(wizard->Button(TWizardButton::Next)->text(), "&Next >");
    EXPECT_EQ(wizard->Button(TWizardButton::Back)->text(), "< &Back");
    EXPECT_EQ(wizard->Button(TWizardButton::Cancel)->text(), "Cancel");
    EXPECT_EQ(wizard->Button(TWizardButton::Help)->text(), "&Help");
    EXPECT_EQ(Parts().PageInstall->HeaderTitle(), "Updating files");
    EXPECT_EQ(Parts().LabelInstall->text(), "Checking and updating  -  please wait");
    EXPECT_EQ(Parts().RadioYes->text(), "I accept the terms");
    // Nothing German is left on the window.
    for (QAbstractButton* button : Form->findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(button->text().contains(QStringLiteral("Weiter")) ||
                     button->text().contains(QStringLiteral("stimme")))
            << button->objectName().toStdString();
    }
}

TEST_F(MainForm, RadioButtonsEnableAndDisableNext) {
    QPushButton* next = Parts().Wizard->Button(TWizardButton::Next);
    EXPECT_FALSE(next->isEnabled());
    Parts().RadioYes->click();
    EXPECT_TRUE(next->isEnabled());
    EXPECT_TRUE(Parts().PageLicense->EnabledButtons().Contains(TWizardButton::Next));
    Parts().RadioNo->click();
    EXPECT_FALSE(next->isEnabled());
}

TEST_F(MainForm, PostedMessageDisablesTheLicencePage) {
    ShowUntilInstallPage();
    EXPECT_FALSE(Parts().PageLicense->PageEnabled());
    EXPECT_TRUE(Parts().PageInstall->isVisible());
    // The install page's handler started the animation and the completion check.
    auto timers = Parts().ProgressBarInstall->findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 1);
    EXPECT_TRUE(timers.front()->isActive());
    EXPECT_EQ(Parts().ProgressBarInstall->maximum(), 100);
    EXPECT_GE(Parts().ProgressBarInstall->value(), 1);
    EXPECT_TRUE(Form->TimerCheckDone->isActive());
    // Only next and cancel show; next is disabled.
    auto* wizard = Parts().Wizard;
    EXPECT_TRUE(wizard->Button(TWizardButton::Cancel)->isVisibleTo(Form));
    EXPECT_TRUE(wizard->Button(TWizardButton::Next)->isVisibleTo(Form));
    EXPECT_FALSE(wizard->Button(TWizardButton::Next)->isEnabled());
    EXPECT_FALSE(wizard->Button(TWizardButton::Back)->isVisibleTo(Form));
    EXPECT_FALSE(wizard->Button(TWizardButton::Help)->isVisibleTo(Form));
}

TEST_F(MainForm, ClosesByItselfWithTheBarFullAfterTheThreadEnds) {
    ShowUntilInstallPage();
    int lastValue = 0;
    QObject::connect(Parts().ProgressBarInstall, &QProgressBar::valueChanged,
                     [&lastValue](int v) { lastValue = v; });
    const auto released = std::chrono::steady_clock::now();
    Release = true;
    ASSERT_TRUE(WaitForFormGone(10000));
    const auto shown = std::chrono::steady_clock::now() - released;
    EXPECT_EQ(lastValue, 100);
    EXPECT_EQ(Manager, nullptr);
    EXPECT_EQ(ThreadManager, nullptr);
    EXPECT_FALSE(SawTerminate);
    // 500 ms and 200 ms with the full bar, then the 1000 ms of the close handling.
    EXPECT_GE(shown, 1700ms);
}

TEST_F(MainForm, CancelStopsTheThreadFirst) {
    ShowUntilInstallPage();
    Parts().Wizard->Button(TWizardButton::Cancel)->click();
    EXPECT_TRUE(SawTerminate);
    EXPECT_EQ(Manager, nullptr);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(WaitForFormGone(1000));
}

TEST_F(MainForm, CloseBoxIsCancel) {
    ShowUntilInstallPage();
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(SawTerminate);
    EXPECT_EQ(Manager, nullptr);
}

TEST_F(MainForm, TickAfterClosingLeavesTheFreedManagerAlone) {
    ShowUntilInstallPage();
    Form->close();
    ASSERT_FALSE(Form.isNull());
    Form->TimerCheckDone->start();
    Form->TimerCheckDoneTimer();
    EXPECT_FALSE(Form->TimerCheckDone->isActive());
}
