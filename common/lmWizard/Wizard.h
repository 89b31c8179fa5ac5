#pragma once

// A wizard frame: pages that each paint a header (title and subtitle) above their controls, and a bar of
// seven buttons whose enabled and visible sets belong to the displayed page. The displayed page is always an
// enabled one: at load the first enabled page, and when the displayed page is disabled, the next enabled page
// after it or else the nearest one before it.

#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

namespace kalmora {

enum class TWizardButton { Start, Last, Back, Next, Finish, Cancel, Help };
inline constexpr int WizardButtonCount = 7;

// A set of buttons, written in the window description as names separated by commas ("back,next,cancel").
class TWizardButtonSet {
public:
    TWizardButtonSet() = default;
    static TWizardButtonSet FromText(const QString& text);
    QString ToText() const;
    bool Contains(TWizardButton button) const { return FBits & Bit(button); }
    void Include(TWizardButton button) { FBits |= Bit(button); }
    void Exclude(TWizardButton button) { FBits &= ~Bit(button); }
    bool operator==(const TWizardButtonSet&) const = default;

private:
    static unsigned Bit(TWizardButton button) { return 1u << static_cast<unsigned>(button); }
    unsigned FBits = 0;
};

class TWizard;

class TWizardPage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString headerTitle READ HeaderTitle WRITE SetHeaderTitle)
    Q_PROPERTY(QString subtitle READ Subtitle WRITE SetSubtitle)
    Q_PROPERTY(bool pageEnabled READ PageEnabled WRITE SetPageEnabled)
    Q_PROPERTY(QString enabledButtons READ EnabledButtonsText WRITE SetEnabledButtonsText STORED false)
    Q_PROPERTY(QString visibleButtons READ VisibleButtonsText WRITE SetVisibleButtonsText STORED false)

public:
    static constexpr int HeaderHeight = 70;

    explicit TWizardPage(QWidget* parent = nullptr);

    QString HeaderTitle() const { return FHeaderTitle; }
    void SetHeaderTitle(const QString& text);
    QString Subtitle() const { return FSubtitle; }
    void SetSubtitle(const QString& text);
    bool PageEnabled() const { return FPageEnabled; }
    // Disabling the displayed page makes the wizard display another one.
    void SetPageEnabled(bool enabled);

    TWizardButtonSet EnabledButtons() const { return FEnabledButtons; }
    void SetEnabledButtons(TWizardButtonSet buttons);
    TWizardButtonSet VisibleButtons() const { return FVisibleButtons; }
    void SetVisibleButtons(TWizardButtonSet buttons);
    QString EnabledButtonsText() const { return FEnabledButtons.ToText(); }
    void SetEnabledButtonsText(const QString& text) { SetEnabledButtons(TWizardButtonSet::FromText(text)); }
    QString VisibleButtonsText() const { return FVisibleButtons.ToText(); }
    void SetVisibleButtonsText(const QString& text) { SetVisibleButtons(TWizardButtonSet::FromText(text)); }

    // The page has become the displayed one.
    std::function<void()> OnPage;
    // Cancel pressed while this page is displayed; without it the wizard's own handler runs.
    std::function<void()> OnCancelButtonClick;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TWizard* Wizard() const;

    QString FHeaderTitle;
    QString FSubtitle;
    bool FPageEnabled = true;
    TWizardButtonSet FEnabledButtons;
    TWizardButtonSet FVisibleButtons;
};

class TWizard : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int buttonBarHeight READ ButtonBarHeight WRITE SetButtonBarHeight)
    Q_PROPERTY(QString startButtonText READ StartButtonText WRITE SetStartButtonText)
    Q_PROPERTY(QString lastButtonText READ LastButtonText WRITE SetLastButtonText)
    Q_PROPERTY(QString backButtonText READ BackButtonText WRITE SetBackButtonText)
    Q_PROPERTY(QString nextButtonText READ NextButtonText WRITE SetNextButtonText)
    Q_PROPERTY(QString finishButtonText READ FinishButtonText WRITE SetFinishButtonText)
    Q_PROPERTY(QString cancelButtonText READ CancelButtonText WRITE SetCancelButtonText)
    Q_PROPERTY(QString helpButtonText READ HelpButtonText WRITE SetHelpButtonText)
    Q_PROPERTY(QString buttonWidths READ ButtonWidths WRITE SetButtonWidths)

public:
    explicit TWizard(QWidget* parent = nullptr);

    // Once the window's widgets exist: takes the child pages in their order and displays the first enabled.
    void Loaded();

    const std::vector<TWizardPage*>& Pages() const { return FPages; }
    TWizardPage* ActivePage() const { return FActivePage; }
    // Displays page when it is enabled; runs its OnPage.
    void SetActivePage(TWizardPage* page);
    QPushButton* Button(TWizardButton button) const { return FButtons[static_cast<int>(button)]; }

    int ButtonBarHeight() const { return FButtonBarHeight; }
    void SetButtonBarHeight(int height);
    QString StartButtonText() const { return ButtonText(TWizardButton::Start); }
    void SetStartButtonText(const QString& text) { SetButtonText(TWizardButton::Start, text); }
    QString LastButtonText() const { return ButtonText(TWizardButton::Last); }
    void SetLastButtonText(const QString& text) { SetButtonText(TWizardButton::Last, text); }
    QString BackButtonText() const { return ButtonText(TWizardButton::Back); }
    void SetBackButtonText(const QString& text) { SetButtonText(TWizardButton::Back, text); }
    QString NextButtonText() const { return ButtonText(TWizardButton::Next); }
    void SetNextButtonText(const QString& text) { SetButtonText(TWizardButton::Next, text); }
    QString FinishButtonText() const { return ButtonText(TWizardButton::Finish); }
    void SetFinishButtonText(const QString& text) { SetButtonText(TWizardButton::Finish, text); }
    QString CancelButtonText() const { return ButtonText(TWizardButton::Cancel); }
    void SetCancelButtonText(const QString& text) { SetButtonText(TWizardButton::Cancel, text); }
    QString HelpButtonText() const { return ButtonText(TWizardButton::Help); }
    void SetHelpButtonText(const QString& text) { SetButtonText(TWizardButton::Help, text); }
    // Widths in button order, "85,85,75,75,75,75,75".
    QString ButtonWidths() const;
    void SetButtonWidths(const QString& widths);

    // Cancel pressed on a page without its own handler.
    std::function<void()> OnCancelButtonClick;

    // From the pages: a page's enabled state or button sets changed.
    void PageEnabledChanged(TWizardPage* page);
    void PageButtonsChanged(TWizardPage* page);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString ButtonText(TWizardButton button) const { return Button(button)->text(); }
    void SetButtonText(TWizardButton button, const QString& text) { Button(button)->setText(text); }
    void Clicked(TWizardButton button);
    void LayOut();
    void UpdateButtons();
    TWizardPage* EnabledPageFrom(int index, int step) const;
    int IndexOf(const TWizardPage* page) const;

    int FButtonBarHeight = 42;
    std::array<QPushButton*, WizardButtonCount> FButtons{};
    std::vector<TWizardPage*> FPages;
    TWizardPage* FActivePage = nullptr;
};

} // namespace kalmora
