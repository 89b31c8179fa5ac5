#pragma once

// The base of the product's windows: every text translated through the message catalogue when the window is
// created, a close that waits for the application to become idle, the IlmForm interface through which other
// code drives a window without knowing its class, and the search for the control that shows a data field.

#include "lmVclUtils/lmVclUtils.h"

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QTimer;

namespace kalmora {

class TlmForm;

// What a data check found wrong; FocusCheckResult reads the field name and the field.
struct TCheckDataResult {
    std::int32_t Code = 0;
    std::string Message;
    std::string FieldName;
    TDataField* Field = nullptr;
};

// Implemented by every TlmForm. Holding it never keeps the form alive: its owner frees it.
class IlmForm {
public:
    static constexpr std::string_view Guid = "{8F73A8A3-27DF-4E9B-B4CD-D1EB7D50CDA0}";

    // With a parent, the form is shown over the parent's window. Returns the modal result.
    virtual int ShowModalFor(IlmForm* parent) = 0;
    virtual TlmForm* GetForm() = 0;
    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetHelpContext(int context) = 0;
    // Frees the form once the events already queued for it have been handled.
    virtual void Release() = 0;
    // Focuses the control that shows the result's field, activating its tab page; false when there is none
    // or focusing failed.
    virtual bool FocusCheckResult(const TCheckDataResult& result) = 0;

protected:
    ~IlmForm() = default;
};

class TlmForm : public QDialog, public IlmForm {
public:
    explicit TlmForm(QWidget* parent = nullptr);
    ~TlmForm() override;

    bool AutoTranslate() const { return FAutoTranslate.value_or(true) != false; }
    void SetAutoTranslate(bool value) { FAutoTranslate = value; }
    bool CloseOnIdle() const { return FCloseOnIdle; }
    // Raises EInternalError on a form shown modally. Turning it off drops a close that waits for idle.
    void SetCloseOnIdle(bool value);

    virtual QWidget* FindFieldControl(const std::string& fieldName, const TDataField* field);

    int ShowModalFor(IlmForm* parent) override;
    TlmForm* GetForm() override { return this; }
    void SetCaption(const std::string& text) override;
    void SetHelpContext(int context) override { FHelpContext = context; }
    int HelpContext() const { return FHelpContext; }
    void Release() override;
    bool FocusCheckResult(const TCheckDataResult& result) override;

    // Every text property of the form and its children through the catalogue. Errors escape.
    void TranslateTexts();

protected:
    // A derived form calls this at the end of its constructor, once its widgets exist: the translation
    // (errors reported, creation goes on), then FormCreate.
    void DoCreate();
    virtual void FormCreate() {}
    // The form's own close checks; true allows the close.
    virtual bool FormCloseQuery() { return true; }
    // The form closes, for whatever reason.
    virtual void FormClose() {}

    void closeEvent(QCloseEvent* event) override;
    // Escape closes the form the same way as its close box.
    void reject() override;

private:
    bool CloseQuery();
    void IdleClose();

    bool FCloseOnIdle = false;
    bool FClosePending = false;
    bool FCloseConfirmed = false;
    QTimer* FIdleTimer = nullptr; // the idle notification, made on first need, owned by the form
    bool FInIdleClose = false;
    std::optional<bool> FAutoTranslate;
    int FHelpContext = 0;
    bool FShowingModal = false;
};

} // namespace kalmora
