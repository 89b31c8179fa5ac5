#include "MessageBox.h"

#include "UtilBox/TextHelpers.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace kalmora {
namespace {

TMessageBoxHook& BoxHook() {
    static TMessageBoxHook hook;
    return hook;
}

QString ToQt(const std::string& text) {
    QString result = QString::fromStdString(text);
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return result;
}

QMessageBox::Icon ToQt(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Information:
        return QMessageBox::Information;
    case TMessageIcon::Warning:
        return QMessageBox::Warning;
    case TMessageIcon::Error:
        return QMessageBox::Critical;
    case TMessageIcon::Question:
        return QMessageBox::Question;
    case TMessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(TMessageButtons buttons) {
    switch (buttons) {
    case TMessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case TMessageButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

TModalResult DefaultButton(TMessageButtons buttons) {
    return (buttons == TMessageButtons::YesNo || buttons == TMessageButtons::YesNoCancel) ? TModalResult::Yes
                                                                                          : TModalResult::Ok;
}

TModalResult FromQt(int button, TMessageButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return TModalResult::Ok;
    case QMessageBox::Yes:
        return TModalResult::Yes;
    case QMessageBox::No:
        return TModalResult::No;
    case QMessageBox::Cancel:
        return TModalResult::Cancel;
    default:
        return buttons == TMessageButtons::Ok ? TModalResult::Ok : TModalResult::Cancel;
    }
}

} // namespace

bool IsHeadlessPlatform() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return true;
    QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

std::string MessageBoxLine(const TMessageBoxRequest& request) {
    std::string line;
    std::string text = request.Text;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string part =
            Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!part.empty())
            line = JoinNonEmpty(line, part, " ");
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return JoinNonEmpty(request.Caption, line, ": ");
}

TModalResult ShowMessageBox(const TMessageBoxRequest& request) {
    if (BoxHook())
        return BoxHook()(request);
    if (IsHeadlessPlatform()) {
        std::fprintf(stderr, "%s\n", MessageBoxLine(request).c_str());
        std::fflush(stderr);
        return DefaultButton(request.Buttons);
    }
    QMessageBox box(ToQt(request.Icon), ToQt(request.Caption), ToQt(request.Text), ToQt(request.Buttons),
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    return FromQt(box.exec(), request.Buttons);
}

void ShowMessage(const std::string& text) {
    ShowMessageBox({TMessageIcon::Information, QGuiApplication::applicationDisplayName().toStdString(), text,
                    TMessageButtons::Ok});
}

void SetMessageBoxHook(TMessageBoxHook hook) {
    BoxHook() = std::move(hook);
}

} // namespace kalmora
