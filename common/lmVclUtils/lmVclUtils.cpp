#include "lmVclUtils.h"

#include "runtime/Exceptions.h"

#include <QStackedWidget>

namespace kalmora {
namespace {
constexpr std::string_view UnitName = "lmVclUtils";
} // namespace

TDataField* GetControlField(const QWidget* control) {
    auto* aware = dynamic_cast<const IDataAwareControl*>(control);
    return aware ? aware->DataField() : nullptr;
}

QWidget* FindControlForField(QWidget* control, const TDataField* field, const std::string& fieldName) {
    Assert(control != nullptr, UnitName);
    Assert(field != nullptr || !fieldName.empty(), UnitName, "AFldToCheck or AFldName must be supplied");
    if (TDataField* shown = GetControlField(control)) {
        if (shown == field || (!fieldName.empty() && shown->FieldName == fieldName))
            return control;
    }
    for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (QWidget* found = FindControlForField(child, field, fieldName))
            return found;
    return nullptr;
}

QTabWidget* PageControlOf(const QWidget* sheet) {
    if (!sheet)
        return nullptr;
    auto* stack = qobject_cast<QStackedWidget*>(sheet->parentWidget());
    if (!stack)
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    return tabs && tabs->indexOf(const_cast<QWidget*>(sheet)) >= 0 ? tabs : nullptr;
}

QWidget* FindParentTabSheet(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget())
        if (PageControlOf(w))
            return w;
    return nullptr;
}

QWidget* TabSheetOnPageControl(QWidget* control, QTabWidget* pageControl) {
    QWidget* sheet = FindParentTabSheet(control);
    return sheet && PageControlOf(sheet) == pageControl ? sheet : nullptr;
}

bool ActivateTabSheet(QWidget* sheet) {
    Assert(sheet != nullptr, UnitName);
    QTabWidget* tabs = PageControlOf(sheet);
    if (!tabs)
        return false;
    bool allow = true;
    if (auto* pages = dynamic_cast<TPageControl*>(tabs); pages && pages->OnChanging)
        pages->OnChanging(allow);
    if (allow)
        tabs->setCurrentWidget(sheet); // emits currentChanged, the change event
    return tabs->currentWidget() == sheet;
}

bool FocusControlOnPageControl(QWidget* control, QTabWidget* pageControl) {
    QWidget* sheet = TabSheetOnPageControl(control, pageControl);
    if (!sheet || !ActivateTabSheet(sheet))
        return false;
    return TryFocusControl(control);
}

bool TryFocusControl(QWidget* control) {
    try {
        control->setFocus(Qt::OtherFocusReason);
        return true;
    } catch (...) {
        // The answer is "not focused": the caller tells the user which field to correct, nothing is lost.
        return false;
    }
}

} // namespace kalmora
