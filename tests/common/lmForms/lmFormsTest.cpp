#include "lmForms/lmForms.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/Translation.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace kalmora;

namespace {

// A form as a derived window builds itself: widgets first, then the creation step.
class TextForm : public TlmForm {
public:
    explicit TextForm(bool autoTranslate) {
        SetAutoTranslate(autoTranslate);
        setWindowTitle("Programmaktualisierung");
        Label = new QLabel("Dateien aktualisieren", this);
        Button = new QPushButton("Abbrechen", this);
        Unknown = new QLabel("Kein Katalogeintrag", this);
        DoCreate();
    }
    QLabel* Label;
    QPushButton* Button;
    QLabel* Unknown;
    int Created = 0;

protected:
    void FormCreate() override { ++Created; }
};

// English through the build tree's catalogue for one test, German again afterwards.
class EnglishCatalogue {
public:
    explicit EnglishCatalogue(const std::string& folder = {}) {
        setenv("LANGUAGE", "en", 1);
        InitTranslation(folder);
    }
    ~EnglishCatalogue() {
        unsetenv("LANGUAGE");
        InitTranslation();
    }
};

class CloseCountingForm : public TlmForm {
public:
    CloseCountingForm() { DoCreate(); }
    int Queries = 0;
    int Closes = 0;
    bool Allow = true;

protected:
    bool FormCloseQuery() override {
        ++Queries;
        return Allow;
    }
    void FormClose() override { ++Closes; }
};

} // namespace

TEST(AutoTranslate, TextsTranslatedAtCreation) {
    EnglishCatalogue english;
    TextForm form(true);
    EXPECT_EQ(form.windowTitle(), "Program update");
    EXPECT_EQ(form.Label->text(), "Updating files");
    EXPECT_EQ(form.Button->text(), "Cancel");
    EXPECT_EQ(form.Unknown->text(), "Kein Katalogeintrag");
    EXPECT_EQ(form.Created, 1);
}

TEST(AutoTranslate, OffLeavesTheTexts) {
    EnglishCatalogue english;
    TextForm form(false);
    EXPECT_FALSE(form.AutoTranslate());
    EXPECT_EQ(form.windowTitle(), "Programmaktualisierung");
    EXPECT_EQ(form.Label->text(), "Dateien aktualisieren");
    EXPECT_EQ(form.Created, 1);
}

TEST(AutoTranslate, MissingCatalogueLeavesTheTexts) {
    EnglishCatalogue english("/nonexistent-kalmora-locale");
    TextForm form(true);
    EXPECT_EQ(form.Label->text(), "Dateien aktualisieren");
    EXPECT_EQ(form.Button->text(), "Abbrechen");
}

TEST(AutoTranslate, DefaultIsOn) {
    TlmForm form;
    EXPECT_TRUE(form.AutoTranslate());
    EXPECT_FALSE(form.CloseOnIdle());
}

TEST(CloseOnIdle, ClosesOnTheNextIdleMomentAskingOnce) {
    CloseCountingForm form;
    form.SetCloseOnIdle(true);
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Queries, 1);
    // A second request while one waits neither asks again nor closes at once.
    EXPECT_FALSE(form.close());
    EXPECT_EQ(form.Queries, 1);
    QTest::qWait(50);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Queries, 1);
    EXPECT_EQ(form.Closes, 1);
}

TEST(CloseOnIdle, RefusedByTheFormsOwnCheck) {
    CloseCountingForm form;
    form.SetCloseOnIdle(true);
    form.show();
    form.Allow = false;
    form.close();
    QTest::qWait(50);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Closes, 0);
    form.Allow = true;
    form.close();
    QTest::qWait(50);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Queries, 2);
}

TEST(CloseOnIdle, OffClosesAtOnce) {
    CloseCountingForm form;
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(form.Closes, 1);
}

TEST(CloseOnIdle, NotOnModalForms) {
    CloseCountingForm form;
    std::string raised;
    QTimer::singleShot(0, &form, [&] {
        try {
            form.SetCloseOnIdle(true);
        } catch (const EInternalError& e) {
            raised = e.Message();
        }
        form.done(0);
    });
    form.ShowModalFor(nullptr);
    EXPECT_EQ(raised, "CloseOnIdle does not work on modal forms");
    EXPECT_FALSE(form.CloseOnIdle());
}

TEST(IlmForm, DrivesTheFormWithoutItsClass) {
    TlmForm form;
    IlmForm& handle = form;
    EXPECT_EQ(handle.GetForm(), &form);
    handle.SetCaption("Titel");
    EXPECT_EQ(form.windowTitle(), "Titel");
    handle.SetHelpContext(42);
    EXPECT_EQ(form.HelpContext(), 42);
    EXPECT_EQ(IlmForm::Guid, "{8F73A8A3-27DF-4E9B-B4CD-D1EB7D50CDA0}");
}

TEST(IlmForm, ReleaseFreesLater) {
    QPointer<TlmForm> form = new TlmForm;
    form->Release();
    EXPECT_FALSE(form.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}
