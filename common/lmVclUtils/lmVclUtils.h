#pragma once

// Finding the control that shows a data field and bringing it into view: the tab page it lies on is made the
// current one first. This system has no database layer; a data-aware control is any widget that also
// implements IDataAwareControl, and a tab sheet is a page of a QTabWidget.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <functional>
#include <string>

namespace kalmora {

// A named data field, as a record's field is named in its table.
class TDataField {
public:
    explicit TDataField(std::string fieldName) : FieldName(std::move(fieldName)) {}
    const std::string FieldName;
};

class IDataAwareControl {
public:
    virtual TDataField* DataField() const = 0;

protected:
    ~IDataAwareControl() = default;
};

// The data-aware kinds: a widget of the toolkit bound to one field (not owned).
template <class Base> class TDBControl : public Base, public IDataAwareControl {
public:
    using Base::Base;
    TDataField* DataField() const override { return FField; }
    void SetDataField(TDataField* field) { FField = field; }

private:
    TDataField* FField = nullptr;
};

using TDBCheckBox = TDBControl<QCheckBox>;
using TDBComboBox = TDBControl<QComboBox>;
using TDBEdit = TDBControl<QLineEdit>;
using TDBListBox = TDBControl<QListWidget>;
using TDBLookupComboBox = TDBControl<QComboBox>;
using TDBLookupListBox = TDBControl<QListWidget>;
using TDBRadioGroup = TDBControl<QGroupBox>;
using TDBRichEdit = TDBControl<QTextEdit>;

// A tab widget that asks before it changes its page.
class TPageControl : public QTabWidget {
public:
    using QTabWidget::QTabWidget;
    // Called with allow preset to true; clearing it keeps the current page.
    std::function<void(bool& allow)> OnChanging;
};

// The field a data-aware control shows; null for every other control.
TDataField* GetControlField(const QWidget* control);

// Control itself when it shows `field` (or, when `fieldName` is given, a field of exactly that name), else
// the first such control among its child widgets, depth first in child order; null when none. Control and one
// of field and fieldName must be given (assertions).
QWidget* FindControlForField(QWidget* control, const TDataField* field, const std::string& fieldName);

// Control itself when it is a tab sheet, else its nearest tab sheet ancestor; null when none.
QWidget* FindParentTabSheet(QWidget* control);

// The tab widget a sheet is a page of; null when it is none.
QTabWidget* PageControlOf(const QWidget* sheet);

// The tab sheet of control when that sheet is a page of pageControl; null otherwise.
QWidget* TabSheetOnPageControl(QWidget* control, QTabWidget* pageControl);

// Makes sheet the current page when its page control allows the change. True when it is the current page.
bool ActivateTabSheet(QWidget* sheet);

// Activates control's sheet on pageControl, then focuses control; false when either step fails.
bool FocusControlOnPageControl(QWidget* control, QTabWidget* pageControl);

// Focuses control; false when focusing it raised (a control that cannot take the focus).
bool TryFocusControl(QWidget* control);

} // namespace kalmora
