#include "Wizard.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStringList>

namespace kalmora {
namespace {

constexpr std::array<const char*, WizardButtonCount> ButtonNames = {"start",  "last",   "back", "next",
                                                                    "finish", "cancel", "help"};
constexpr std::array<int, WizardButtonCount> DefaultWidths = {85, 85, 75, 75, 75, 75, 75};
constexpr int ButtonHeight = 25;
constexpr int Margin = 8;
constexpr int GroupGap = 8;
constexpr int TitleLeft = 8;
constexpr int TitleTop = 8;
constexpr int SubtitleLeft = 24;
constexpr int TitleFontPixels = 16;

TWizardButtonSet AllButtons() {
    TWizardButtonSet set;
    for (int i = 0; i < WizardButtonCount; ++i)
        set.Include(static_cast<TWizardButton>(i));
    return set;
}

void DrawEtchedLine(QPainter& painter, const QPalette& palette, int y, int width) {
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawLine(0, y, width, y);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(0, y + 1, width, y + 1);
}

} // namespace

TWizardButtonSet TWizardButtonSet::FromText(const QString& text) {
    TWizardButtonSet set;
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
        QString name = part.trimmed().toLower();
        for (int i = 0; i < WizardButtonCount; ++i)
            if (name == QLatin1String(ButtonNames[i]))
                set.Include(static_cast<TWizardButton>(i));
    }
    return set;
}

QString TWizardButtonSet::ToText() const {
    QStringList names;
    for (int i = 0; i < WizardButtonCount; ++i)
        if (Contains(static_cast<TWizardButton>(i)))
            names << QLatin1String(ButtonNames[i]);
    return names.join(',');
}

TWizardPage::TWizardPage(QWidget* parent)
    : QWidget(parent), FEnabledButtons(AllButtons()),
      FVisibleButtons(TWizardButtonSet::FromText(QStringLiteral("back,next,cancel"))) {}

TWizard* TWizardPage::Wizard() const {
    return qobject_cast<TWizard*>(parentWidget());
}

void TWizardPage::SetHeaderTitle(const QString& text) {
    FHeaderTitle = text;
    update();
}

void TWizardPage::SetSubtitle(const QString& text) {
    FSubtitle = text;
    update();
}

void TWizardPage::SetPageEnabled(bool enabled) {
    if (FPageEnabled == enabled)
        return;
    FPageEnabled = enabled;
    if (TWizard* wizard = Wizard())
        wizard->PageEnabledChanged(this);
}

void TWizardPage::SetEnabledButtons(TWizardButtonSet buttons) {
    FEnabledButtons = buttons;
    if (TWizard* wizard = Wizard())
        wizard->PageButtonsChanged(this);
}

void TWizardPage::SetVisibleButtons(TWizardButtonSet buttons) {
    FVisibleButtons = buttons;
    if (TWizard* wizard = Wizard())
        wizard->PageButtonsChanged(this);
}

void TWizardPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect header(0, 0, width(), HeaderHeight);
    painter.fillRect(header, palette().color(QPalette::Base));
    DrawEtchedLine(painter, palette(), HeaderHeight - 2, width());

    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPixelSize(TitleFontPixels);
    painter.setFont(titleFont);
    painter.setPen(palette().color(QPalette::Text));
    QFontMetrics titleMetrics(titleFont);
    QRect titleRect(TitleLeft, TitleTop, width() - 2 * TitleLeft, titleMetrics.height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FHeaderTitle);

    painter.setFont(font());
    QRect subtitleRect(SubtitleLeft, titleRect.bottom() + 4, width() - SubtitleLeft - Margin,
                       HeaderHeight - titleRect.bottom() - 8);
    painter.drawText(subtitleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, FSubtitle);
}

TWizard::TWizard(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < WizardButtonCount; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("WizardButton_") + QLatin1String(ButtonNames[i]));
        button->setFixedSize(DefaultWidths[i], ButtonHeight);
        button->setAutoDefault(false);
        auto which = static_cast<TWizardButton>(i);
        connect(button, &QPushButton::clicked, this, [this, which] { Clicked(which); });
        FButtons[i] = button;
    }
}

void TWizard::Loaded() {
    FPages.clear();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (auto* page = qobject_cast<TWizardPage*>(child)) {
            FPages.push_back(page);
            page->hide();
        }
    LayOut();
    SetActivePage(EnabledPageFrom(0, 1));
    UpdateButtons();
}

int TWizard::IndexOf(const TWizardPage* page) const {
    for (std::size_t i = 0; i < FPages.size(); ++i)
        if (FPages[i] == page)
            return static_cast<int>(i);
    return -1;
}

TWizardPage* TWizard::EnabledPageFrom(int index, int step) const {
    for (int i = index; i >= 0 && i < static_cast<int>(FPages.size()); i += step)
        if (FPages[i]->PageEnabled())
            return FPages[i];
    return nullptr;
}

void TWizard::SetActivePage(TWizardPage* page) {
    if (page && !page->PageEnabled())
        return;
    if (FActivePage && FActivePage != page)
        FActivePage->hide();
    FActivePage = page;
    UpdateButtons();
    if (!page)
        return;
    page->show();
    page->raise();
    if (page->OnPage)
        page->OnPage();
}

void TWizard::PageEnabledChanged(TWizardPage* page) {
    if (page != FActivePage || page->PageEnabled())
        return;
    int index = IndexOf(page);
    TWizardPage* next = EnabledPageFrom(index + 1, 1);
    SetActivePage(next ? next : EnabledPageFrom(index - 1, -1));
}

void TWizard::PageButtonsChanged(TWizardPage* page) {
    if (page == FActivePage)
        UpdateButtons();
}

void TWizard::Clicked(TWizardButton button) {
    int index = IndexOf(FActivePage);
    switch (button) {
    case TWizardButton::Start:
        SetActivePage(EnabledPageFrom(0, 1));
        break;
    case TWizardButton::Last:
        SetActivePage(EnabledPageFrom(static_cast<int>(FPages.size()) - 1, -1));
        break;
    case TWizardButton::Back:
        if (TWizardPage* page = EnabledPageFrom(index - 1, -1))
            SetActivePage(page);
        break;
    case TWizardButton::Next:
        if (TWizardPage* page = EnabledPageFrom(index + 1, 1))
            SetActivePage(page);
        break;
    case TWizardButton::Cancel:
        if (FActivePage && FActivePage->OnCancelButtonClick)
            FActivePage->OnCancelButtonClick();
        else if (OnCancelButtonClick)
            OnCancelButtonClick();
        break;
    case TWizardButton::Finish:
    case TWizardButton::Help:
        break;
    }
}

void TWizard::SetButtonBarHeight(int height) {
    FButtonBarHeight = height;
    LayOut();
}

QString TWizard::ButtonWidths() const {
    QStringList widths;
    for (QPushButton* button : FButtons)
        widths << QString::number(button->width());
    return widths.join(',');
}

void TWizard::SetButtonWidths(const QString& widths) {
    QStringList parts = widths.split(',');
    for (int i = 0; i < WizardButtonCount && i < parts.size(); ++i)
        if (int width = parts[i].trimmed().toInt(); width > 0)
            FButtons[i]->setFixedWidth(width);
    LayOut();
}

void TWizard::UpdateButtons() {
    TWizardButtonSet enabled = FActivePage ? FActivePage->EnabledButtons() : TWizardButtonSet();
    TWizardButtonSet visible = FActivePage ? FActivePage->VisibleButtons() : TWizardButtonSet();
    for (int i = 0; i < WizardButtonCount; ++i) {
        auto which = static_cast<TWizardButton>(i);
        FButtons[i]->setEnabled(enabled.Contains(which));
        FButtons[i]->setVisible(visible.Contains(which));
    }
    LayOut();
}

void TWizard::LayOut() {
    int pageHeight = height() - FButtonBarHeight;
    for (TWizardPage* page : FPages)
        page->setGeometry(0, 0, width(), pageHeight);
    // Right to left: help, cancel, then the navigation group; hidden buttons take no room.
    int x = width() - Margin;
    int y = pageHeight + (FButtonBarHeight - ButtonHeight) / 2;
    for (int i = WizardButtonCount - 1; i >= 0; --i) {
        QPushButton* button = FButtons[i];
        if (button->isHidden())
            continue;
        x -= button->width();
        button->move(x, y);
        bool groupEnds = static_cast<TWizardButton>(i) == TWizardButton::Cancel ||
                         static_cast<TWizardButton>(i) == TWizardButton::Help;
        x -= groupEnds ? GroupGap + 2 : 2;
    }
}

void TWizard::resizeEvent(QResizeEvent*) {
    LayOut();
}

void TWizard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawEtchedLine(painter, palette(), height() - FButtonBarHeight, width());
}

} // namespace kalmora
