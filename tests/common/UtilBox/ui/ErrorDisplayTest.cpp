#include "UtilBox/ui/ErrorDisplay.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/lmException.h"
#include "UtilBox/ui/ApplicationEvents.h"
#include "UtilBox/ui/MessageBox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

using namespace kalmora;

namespace {

// Records every box instead of showing it; `whileOpen` runs as long as the box would be open.
class BoxRecorder {
public:
    explicit BoxRecorder(std::function<void()> whileOpen = {}) : FWhileOpen(std::move(whileOpen)) {
        SetMessageBoxHook([this](const TMessageBoxRequest& request) {
            Boxes.push_back(request);
            // Only the first box waits for events: a second one would repeat what opened it.
            if (FWhileOpen && Boxes.size() == 1)
                FWhileOpen();
            return TModalResult::Ok;
        });
    }
    ~BoxRecorder() { SetMessageBoxHook({}); }
    std::vector<TMessageBoxRequest> Boxes;

private:
    std::function<void()> FWhileOpen;
};

void ProcessEventsFor(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Raises from its event handler, as a painting or timer handler might.
class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw EConvertError("Ungültige Eingabe");
        return QObject::event(e);
    }
};

class KeyCounter : public QWidget {
public:
    int Keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

} // namespace

TEST(ShowErrorMessage, CaptionIconAndComposedText) {
    BoxRecorder recorder;
    ShowErrorMessage("Die Datei fehlt.", "Beim Laden", "ENOENT");
    ASSERT_EQ(recorder.Boxes.size(), 1u);
    EXPECT_EQ(recorder.Boxes[0].Caption, "Fehler");
    EXPECT_EQ(recorder.Boxes[0].Icon, TMessageIcon::Error);
    EXPECT_EQ(recorder.Boxes[0].Buttons, TMessageButtons::Ok);
    EXPECT_EQ(recorder.Boxes[0].Text, "Beim Laden\r\n\r\nDie Datei fehlt.");
    ShowErrorMessage("", "Beim Laden", "ENOENT");
    EXPECT_EQ(recorder.Boxes[1].Text, "Beim Laden\r\n\r\nFehlermeldung:\r\n[ENOENT]");
}

TEST(ReportException, KnownKindsShownOthersDeclined) {
    BoxRecorder recorder;
    EXPECT_TRUE(ReportException(EZeroDivide("Floating point division by zero"), "", false));
    ASSERT_EQ(recorder.Boxes.size(), 1u);
    EXPECT_EQ(
        recorder.Boxes[0].Text,
        "Die Eingabe ist nicht korrekt. Bitte prüfen Sie, dass Sie eine gültige Zahl eingegeben haben.");
    EXPECT_FALSE(ReportException(EInternalError("Thread already running"), "", false));
    EXPECT_FALSE(ReportException(ElmException("technisch", ""), "", false));
    EXPECT_EQ(recorder.Boxes.size(), 1u);
}

TEST(ReportOrShowException, DeclinedKindShowsItsOwnMessage) {
    BoxRecorder recorder;
    ReportOrShowException(std::make_exception_ptr(EInternalError("Thread already running")));
    ASSERT_EQ(recorder.Boxes.size(), 1u);
    EXPECT_EQ(recorder.Boxes[0].Caption, "Fehler");
    EXPECT_EQ(recorder.Boxes[0].Text, "Thread already running");
}

TEST(FatalErrorAppEvents, TimerTicksSwallowedWhileTheBoxIsOpenAndResumedAfter) {
    QTimer timer;
    timer.setInterval(100);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    ProcessEventsFor(250);
    EXPECT_GE(ticks, 1);

    int ticksWhileOpen = -1;
    BoxRecorder recorder([&] {
        int before = ticks;
        ProcessEventsFor(450);
        ticksWhileOpen = ticks - before;
    });
    ShowErrorMessage("Fehler beim Schließen", "", "");
    EXPECT_EQ(ticksWhileOpen, 0);

    int after = ticks;
    ProcessEventsFor(350);
    EXPECT_GE(ticks - after, 1);
}

TEST(FatalErrorAppEvents, KeyboardGoesOnWhileTheBoxIsOpen) {
    KeyCounter widget;
    BoxRecorder recorder([&widget] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(&widget, &press);
    });
    ShowErrorMessage("x", "", "");
    EXPECT_EQ(widget.Keys, 1);
}

TEST(FatalErrorAppEvents, EscapingExceptionDroppedWhileOpenShownAfter) {
    ThrowingObject thrower;
    BoxRecorder recorder([&thrower] {
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &event);
    });
    ShowErrorMessage("Erster Fehler", "", "");
    ASSERT_EQ(recorder.Boxes.size(), 1u);

    // With no box open the default handling shows it, titled with the application's name.
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    ASSERT_EQ(recorder.Boxes.size(), 2u);
    EXPECT_EQ(recorder.Boxes[1].Caption, "Online-Updater");
    EXPECT_EQ(recorder.Boxes[1].Text, "Ungültige Eingabe.");
}

TEST(EscapedException, AbortIsSilent) {
    BoxRecorder recorder;
    HandleApplicationException(std::make_exception_ptr(EAbort()));
    EXPECT_TRUE(recorder.Boxes.empty());
}

TEST(MessageBoxLine, CaptionAndTextOnOneLine) {
    EXPECT_EQ(
        MessageBoxLine({TMessageIcon::Error, "Fehler", "Lead\r\n\r\nMain\r\nmore", TMessageButtons::Ok}),
        "Fehler: Lead Main more");
    EXPECT_EQ(MessageBoxLine({TMessageIcon::Error, "Fehler", "", TMessageButtons::Ok}), "Fehler");
}

TEST(MessageBox, HeadlessBoxReturnsAtOnceWithTheDefaultButton) {
    testing::internal::CaptureStderr();
    auto result = ShowMessageBox({TMessageIcon::Question, "Frage", "Weiter?", TMessageButtons::YesNo});
    std::string line = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, TModalResult::Yes);
    EXPECT_EQ(line, "Frage: Weiter?\n");
}
