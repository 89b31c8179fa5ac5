#include "lmForms.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/Translation.h"
#include "UtilBox/ui/ApplicationEvents.h"

#include <QCloseEvent>
#include <QMetaProperty>
#include <QTimer>
#include <set>

namespace kalmora {
namespace {

bool IsTextProperty(const QMetaProperty& property) {
    static const std::set<std::string_view> notTexts = {"objectName", "styleSheet",     "inputMask", "html",
                                                        "markdown",   "windowFilePath", "windowRole"};
    return property.isWritable() && property.typeId() == QMetaType::QString &&
           !notTexts.contains(property.name());
}

QString TranslateText(const QString& text) {
    if (text.isEmpty())
        return text;
    return QString::fromStdString(Translate(text.toStdString()));
}

void TranslateObject(QObject* object) {
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        QMetaProperty property = meta->property(i);
        if (!IsTextProperty(property))
            continue;
        QString text = property.read(object).toString();
        QString translated = TranslateText(text);
        if (translated != text)
            property.write(object, translated);
    }
    // Texts the toolkit keeps outside properties.
    if (auto* tabs = qobject_cast<QTabWidget*>(object))
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setTabText(i, TranslateText(tabs->tabText(i)));
}

} // namespace

TlmForm::TlmForm(QWidget* parent) : QDialog(parent) {
    if (!FAutoTranslate)
        FAutoTranslate = true;
    FClosePending = false;
    FInIdleClose = false;
}

TlmForm::~TlmForm() = default;

void TlmForm::DoCreate() {
    if (AutoTranslate()) {
        try {
            TranslateTexts();
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
    }
    FormCreate();
}

void TlmForm::TranslateTexts() {
    TranslateObject(this);
    for (QObject* child : findChildren<QObject*>())
        TranslateObject(child);
}

void TlmForm::SetCloseOnIdle(bool value) {
    if (!value) {
        FCloseOnIdle = false;
        FClosePending = false;
        if (FIdleTimer)
            FIdleTimer->stop();
        return;
    }
    if (FShowingModal || (isModal() && isVisible()))
        throw EInternalError("CloseOnIdle does not work on modal forms");
    FCloseOnIdle = true;
    if (!FIdleTimer) {
        // A zero timer fires once the event queue has been worked off: the application is idle.
        FIdleTimer = new QTimer(this);
        FIdleTimer->setInterval(0);
        FIdleTimer->setSingleShot(true);
        connect(FIdleTimer, &QTimer::timeout, this, [this] { IdleClose(); });
    }
}

bool TlmForm::CloseQuery() {
    if (!FCloseOnIdle)
        return FormCloseQuery();
    if (FClosePending) {
        if (!FCloseConfirmed)
            return false;
        FClosePending = false;
        return true;
    }
    if (FInIdleClose)
        return false;
    if (FormCloseQuery()) {
        FClosePending = true;
        FCloseConfirmed = false;
        FIdleTimer->start();
    }
    return false;
}

void TlmForm::IdleClose() {
    if (!FClosePending)
        return;
    FCloseConfirmed = true;
    FInIdleClose = true;
    try {
        close();
    } catch (...) {
        FInIdleClose = false;
        throw;
    }
    FInIdleClose = false;
}

void TlmForm::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TlmForm::reject() {
    close();
}

QWidget* TlmForm::FindFieldControl(const std::string& fieldName, const TDataField* field) {
    if (fieldName.empty() && !field)
        return nullptr;
    return FindControlForField(this, field, fieldName);
}

int TlmForm::ShowModalFor(IlmForm* parent) {
    if (parent)
        setParent(parent->GetForm(), windowFlags());
    FShowingModal = true;
    int result = 0;
    try {
        result = exec();
    } catch (...) {
        FShowingModal = false;
        throw;
    }
    FShowingModal = false;
    return result;
}

void TlmForm::SetCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}

void TlmForm::Release() {
    deleteLater();
}

bool TlmForm::FocusCheckResult(const TCheckDataResult& result) {
    QWidget* control = FindFieldControl(result.FieldName, result.Field);
    if (!control)
        return false;
    if (QWidget* sheet = FindParentTabSheet(control))
        return FocusControlOnPageControl(control, PageControlOf(sheet));
    return TryFocusControl(control);
}

} // namespace kalmora
