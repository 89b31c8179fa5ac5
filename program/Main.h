#pragma once

// The update wizard window: shows the install page with an animated bar while the update thread works, and
// closes itself once the thread manager reports the thread gone. Closing (by itself, by cancel, by the close
// box or a close signal) stops every managed thread and frees the thread manager.

#include "lmForms/lmForms.h"
#include "lmThreadManager/lmThreadManager.h"

#include <QEvent>
#include <memory>

class QTimer;
namespace Ui {
class TMainForm;
}

namespace kalmora {

class TMainForm : public TlmForm {
public:
    // Posted to the window itself once it is on the screen; switches the licence page off.
    static constexpr QEvent::Type WM_DISABLE_LICENSE_PAGE = static_cast<QEvent::Type>(0x0A01);

    // `manager` is the program's thread manager; the window frees it (and clears it) when it closes.
    explicit TMainForm(std::unique_ptr<TThreadManager>& manager, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The components of the window description.
    std::unique_ptr<Ui::TMainForm> Components;
    QTimer* TimerCheckDone = nullptr;
    bool SkipLicensePage = false;

    void PageInstallPage();
    void TimerCheckDoneTimer();
    void RadioYesClick();
    void RadioNoClick();
    void PageInstallCancelButtonClick();
    void WizardCancelButtonClick();

protected:
    void FormCreate() override;
    void FormClose() override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void ApplyFont();
    void StopThreads();

    std::unique_ptr<TThreadManager>& FManager;
    bool FClosing = false;
};

} // namespace kalmora
