#include "ScriptDialogs.h"

#include "UtilBox/ui/MessageBox.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <array>
#include <cstdio>
#include <vector>

namespace kalmora {
namespace {

constexpr int ButtonCount = 11;

struct TButtonInfo {
    const char* Caption;
    QMessageBox::ButtonRole Role;
    TModalResultCode Result;
};

constexpr std::array<TButtonInfo, ButtonCount> Buttons = {{
    {"&Ja", QMessageBox::YesRole, TModalResultCode::mrYes},
    {"&Nein", QMessageBox::NoRole, TModalResultCode::mrNo},
    {"OK", QMessageBox::AcceptRole, TModalResultCode::mrOk},
    {"Abbrechen", QMessageBox::RejectRole, TModalResultCode::mrCancel},
    {"&Abbrechen", QMessageBox::RejectRole, TModalResultCode::mrAbort},
    {"&Wiederholen", QMessageBox::AcceptRole, TModalResultCode::mrRetry},
    {"&Ignorieren", QMessageBox::AcceptRole, TModalResultCode::mrIgnore},
    {"&Alle", QMessageBox::YesRole, TModalResultCode::mrAll},
    {"N&ein für alle", QMessageBox::NoRole, TModalResultCode::mrNoToAll},
    {"Ja für &alle", QMessageBox::YesRole, TModalResultCode::mrYesToAll},
    {"&Hilfe", QMessageBox::HelpRole, TModalResultCode::mrNone},
}};

void PrintLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon IconOf(std::int32_t dlgType) {
    switch (static_cast<TMsgDlgType>(dlgType)) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

std::int32_t ModalResultOf(TMsgDlgBtn button) {
    auto index = static_cast<std::size_t>(button);
    return index < Buttons.size() ? static_cast<std::int32_t>(Buttons[index].Result) : 0;
}

std::int32_t MessageDlg(const std::string& message, std::int32_t dlgType, std::uint32_t buttons,
                        std::int32_t helpCtx) {
    (void)helpCtx; // there is no help system to open
    if (IsHeadlessPlatform()) {
        PrintLine(message);
        for (int i = 0; i < ButtonCount; ++i) {
            if (buttons & (1u << i))
                return ModalResultOf(static_cast<TMsgDlgBtn>(i));
        }
        return static_cast<std::int32_t>(TModalResultCode::mrNone);
    }
    QMessageBox box(IconOf(dlgType), QApplication::applicationName(), Q(message));
    std::vector<std::pair<QAbstractButton*, TModalResultCode>> shown;
    QAbstractButton* escape = nullptr;
    for (int i = 0; i < ButtonCount; ++i) {
        if (!(buttons & (1u << i)))
            continue;
        const TButtonInfo& info = Buttons[static_cast<std::size_t>(i)];
        QPushButton* button = box.addButton(QString::fromUtf8(info.Caption), info.Role);
        shown.emplace_back(button, info.Result);
        if (info.Result == TModalResultCode::mrCancel || (!escape && info.Result == TModalResultCode::mrNo))
            escape = button;
    }
    if (shown.empty())
        shown.emplace_back(box.addButton(QMessageBox::Ok), TModalResultCode::mrOk);
    box.setEscapeButton(escape ? escape : shown.back().first);
    box.exec();
    for (const auto& [button, result] : shown) {
        if (box.clickedButton() == button)
            return static_cast<std::int32_t>(result);
    }
    return static_cast<std::int32_t>(TModalResultCode::mrCancel);
}

void ScriptShowMessage(const std::string& message) {
    if (IsHeadlessPlatform()) {
        PrintLine(message);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), Q(message), QMessageBox::Ok);
    box.exec();
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& fallback) {
    if (IsHeadlessPlatform())
        return fallback;
    bool ok = false;
    QString text = QInputDialog::getText(nullptr, Q(caption), Q(prompt), QLineEdit::Normal, Q(fallback), &ok);
    if (!ok)
        return fallback;
    QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void ScriptBeep() {
    if (!IsHeadlessPlatform())
        QApplication::beep();
}

} // namespace kalmora
