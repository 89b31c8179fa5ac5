#include "lmForms/lmForms.h"
#include "runtime/Exceptions.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace kalmora;

namespace {

// A form with a page control of two sheets; the quantity field lies on the second.
class FieldForm : public TlmForm {
public:
    FieldForm() : Name("Name"), Quantity("Menge"), Free("Notiz") {
        resize(300, 200);
        auto* layout = new QVBoxLayout(this);
        FreeEdit = new TDBEdit(this);
        FreeEdit->SetDataField(&Free);
        layout->addWidget(FreeEdit);
        Pages = new TPageControl(this);
        layout->addWidget(Pages);
        First = new QWidget;
        Second = new QWidget;
        Pages->addTab(First, "Allgemein");
        Pages->addTab(Second, "Lager");
        NameEdit = new TDBEdit(First);
        NameEdit->SetDataField(&Name);
        auto* inner = new QWidget(Second);
        QuantityEdit = new TDBEdit(inner);
        QuantityEdit->SetDataField(&Quantity);
        DoCreate();
    }
    TDataField Name, Quantity, Free;
    TDBEdit *NameEdit, *QuantityEdit, *FreeEdit;
    TPageControl* Pages;
    QWidget *First, *Second;
};

} // namespace

TEST(FindControlForField, ByFieldOrExactName) {
    FieldForm form;
    EXPECT_EQ(FindControlForField(&form, &form.Quantity, ""), form.QuantityEdit);
    EXPECT_EQ(FindControlForField(&form, nullptr, "Name"), form.NameEdit);
    EXPECT_EQ(FindControlForField(&form, nullptr, "name"), nullptr);
    EXPECT_EQ(FindControlForField(form.QuantityEdit, &form.Quantity, ""), form.QuantityEdit);
    EXPECT_EQ(GetControlField(form.Pages), nullptr);
}

TEST(FindControlForField, NeedsControlAndFieldOrName) {
    FieldForm form;
    try {
        FindControlForField(&form, nullptr, "");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().starts_with("AFldToCheck or AFldName must be supplied (lmVclUtils, Zeile"))
            << e.Message();
    }
    EXPECT_THROW(FindControlForField(nullptr, &form.Name, ""), EAssertionFailed);
}

TEST(FindFieldControl, NeitherNameNorField) {
    FieldForm form;
    EXPECT_EQ(form.FindFieldControl("", nullptr), nullptr);
    EXPECT_EQ(form.FindFieldControl("Menge", nullptr), form.QuantityEdit);
}

TEST(TabSheets, ParentSheetAndPageControl) {
    FieldForm form;
    EXPECT_EQ(FindParentTabSheet(form.QuantityEdit), form.Second);
    EXPECT_EQ(FindParentTabSheet(form.Second), form.Second);
    EXPECT_EQ(FindParentTabSheet(form.FreeEdit), nullptr);
    EXPECT_EQ(TabSheetOnPageControl(form.QuantityEdit, form.Pages), form.Second);
    QTabWidget other;
    EXPECT_EQ(TabSheetOnPageControl(form.QuantityEdit, &other), nullptr);
    QWidget loose;
    EXPECT_FALSE(ActivateTabSheet(&loose));
    EXPECT_THROW(ActivateTabSheet(nullptr), EAssertionFailed);
}

TEST(TabSheets, ChangeRefusedByThePageControl) {
    FieldForm form;
    form.Pages->OnChanging = [](bool& allow) { allow = false; };
    EXPECT_FALSE(ActivateTabSheet(form.Second));
    EXPECT_EQ(form.Pages->currentWidget(), form.First);
    TCheckDataResult result{1, "zu viel", "Menge", nullptr};
    EXPECT_FALSE(form.FocusCheckResult(result));
}

TEST(FocusCheckResult, ActivatesTheInactivePageAndFocuses) {
    FieldForm form;
    int changes = 0;
    int asked = 0;
    form.Pages->OnChanging = [&asked](bool&) { ++asked; };
    QObject::connect(form.Pages, &QTabWidget::currentChanged, [&changes](int) { ++changes; });
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_EQ(form.Pages->currentWidget(), form.First);

    TCheckDataResult result{1, "zu viel", "", &form.Quantity};
    EXPECT_TRUE(form.FocusCheckResult(result));
    EXPECT_EQ(form.Pages->currentWidget(), form.Second);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(form.QuantityEdit->hasFocus());

    // Not on a page: focused directly.
    EXPECT_TRUE(form.FocusCheckResult({0, "", "Notiz", nullptr}));
    EXPECT_TRUE(form.FreeEdit->hasFocus());
    EXPECT_FALSE(form.FocusCheckResult({0, "", "Unbekannt", nullptr}));
}
