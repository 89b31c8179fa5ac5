#include "UtilBox/ErrorText.h"

#include "UtilBox/InternalError.h"
#include "UtilBox/lmException.h"

#include <gtest/gtest.h>

using namespace kalmora;

namespace {

// A descendant that knows the user text of one code, the way product error classes map theirs.
class ECodedError : public ElmException {
public:
    ECodedError(std::int32_t code, std::string message, std::string context, std::int32_t number)
        : ElmException(code, std::move(message), std::move(context), number) {
        ApplyCode(code);
    }
    std::string CodeToUserText(std::int32_t code) const override {
        return code == 7 ? "Die Datenbank ist nicht erreichbar." : "";
    }
};

} // namespace

TEST(ComposeErrorText, DetailAloneWhenNothingElse) {
    EXPECT_EQ(ComposeErrorText("", "", "disk full.\r\nretry", false), "disk full.\r\nretry");
    EXPECT_EQ(ComposeErrorText("", "", "", false), "");
}

TEST(ComposeErrorText, LeadAndMainWithEmptyLine) {
    EXPECT_EQ(ComposeErrorText("Main", "Lead", "", false), "Lead\r\n\r\nMain");
    EXPECT_EQ(ComposeErrorText("Main", "", "", false), "Main");
    EXPECT_EQ(ComposeErrorText("", "Lead", "", false), "Lead");
}

TEST(ComposeErrorText, DetailOnlyWithoutMainTextOrForced) {
    EXPECT_EQ(ComposeErrorText("Main", "", "socket closed", false), "Main");
    EXPECT_EQ(ComposeErrorText("Main", "", "socket closed", true),
              "Main\r\n\r\nFehlermeldung:\r\n[socket closed]");
    EXPECT_EQ(ComposeErrorText("", "Lead", "socket closed", false),
              "Lead\r\n\r\nFehlermeldung:\r\n[socket closed]");
}

TEST(ComposeErrorText, TwoSentencesOnTwoLinesBecomeOneLine) {
    EXPECT_EQ(ComposeErrorText("Main", "", "  First one.\r\nSecond one\r\n", true),
              "Main\r\n\r\nFehlermeldung:\r\n[First one.; Second one]");
    EXPECT_EQ(ComposeErrorText("Main", "", "a\r\nb\nc.\nd", true),
              "Main\r\n\r\nFehlermeldung:\r\n[a; b; c.; d]");
}

TEST(ComposeErrorText, DetailAlreadyShownIsNotRepeated) {
    EXPECT_EQ(ComposeErrorText("Fehler: SOCKET CLOSED beim Lesen", "", "socket closed", true),
              "Fehler: SOCKET CLOSED beim Lesen");
    EXPECT_EQ(ComposeErrorText("Main", "While reading: Socket Closed", "socket closed", true),
              "While reading: Socket Closed\r\n\r\nMain");
}

TEST(ElmException, CodedMessageGetsTheNumberOnce) {
    EXPECT_EQ(ElmException(0, "Zugriff verweigert", "", 5).Message(), "Zugriff verweigert (5)");
    EXPECT_EQ(ElmException(0, "Zugriff verweigert (5)", "", 5).Message(), "Zugriff verweigert (5)");
    // Only exactly the suffix counts as already there.
    EXPECT_EQ(ElmException(0, "Zugriff verweigert(5)", "", 5).Message(), "Zugriff verweigert(5) (5)");
}

TEST(ElmException, EmptyTextsGiveTheCode) {
    EXPECT_EQ(ElmException(0, "", "", 0).Message(), "Error code 0");
    EXPECT_EQ(ElmException(12, "", "", 0).Message(), "Error code 12");
    EXPECT_EQ(ElmException(12, "", "", 5).Message(), "Error code 5");
    EXPECT_EQ(ElmException("", "").Message(), "Error code 0");
}

TEST(ElmException, ContextWhenNoMessage) {
    ElmException e(0, "", "Beim Lesen der Datei", 3);
    EXPECT_EQ(e.Message(), "Beim Lesen der Datei (3)");
}

TEST(ElmException, WrapsAForeignExceptionWithoutCode) {
    EConvertError source("'x' is not a valid integer");
    ElmException e(&source, "Import", 0);
    EXPECT_EQ(e.OriginalMessage, "'x' is not a valid integer");
    EXPECT_EQ(e.SourceClassName, "EConvertError");
    EXPECT_TRUE(e.NoErrorCode);
    EXPECT_EQ(e.ErrorCode, 0);
    EXPECT_EQ(e.Message(), "'x' is not a valid integer");
    EXPECT_EQ(e.Context, "Import");
}

TEST(ElmException, WrapsOwnExceptionKeepingChainAndUserText) {
    ECodedError inner(7, "connect failed", "", 111);
    EXPECT_EQ(inner.UserText, "Die Datenbank ist nicht erreichbar.");
    EXPECT_EQ(inner.Message(), "Die Datenbank ist nicht erreichbar.");
    ElmException outer(&inner, "Anmelden", 0);
    EXPECT_EQ(outer.OriginalMessage, "connect failed");
    EXPECT_EQ(outer.ErrorNumber, 111);
    EXPECT_EQ(outer.ErrorCode, 7);
    EXPECT_FALSE(outer.NoErrorCode);
    EXPECT_EQ(outer.SourceClassName, "");
    EXPECT_EQ(outer.UserText, "Die Datenbank ist nicht erreichbar.");
    ElmException recoded(&inner, "", 9);
    EXPECT_EQ(recoded.ErrorCode, 9);
}

TEST(ElmException, SourceClassNameOfTheFirstInChain) {
    EConvertError first("bad");
    ElmException middle(&first, "", 0);
    EDataError last(&middle, "", 0);
    EXPECT_EQ(last.SourceClassName, "EConvertError");
    EXPECT_EQ(last.ClassName(), "EDataError");
}

TEST(BuildDisplayText, UserTextWithCallersContextFirst) {
    ECodedError e(7, "connect failed", "Verbindung", 111);
    EXPECT_EQ(e.BuildDisplayText("Anmelden", false),
              "Anmelden\r\nVerbindung\r\n\r\nDie Datenbank ist nicht erreichbar.");
    // A context already part of the exception's own is not repeated.
    EXPECT_EQ(e.BuildDisplayText("verbindung", false),
              "Verbindung\r\n\r\nDie Datenbank ist nicht erreichbar.");
}

TEST(BuildDisplayText, DetailsOnRequest) {
    ECodedError e(7, "connect failed", "", 111);
    EXPECT_EQ(e.BuildDisplayText("", true),
              "Die Datenbank ist nicht erreichbar.\r\n\r\nFehlermeldung:\r\n[connect failed]");
}

TEST(BuildDisplayText, SourceWithoutCodeAlwaysShowsDetail) {
    EConvertError source("not a number");
    ElmException e(&source, "", 0);
    EXPECT_EQ(e.BuildDisplayText("Feld Menge", false), "Feld Menge\r\n\r\nFehlermeldung:\r\n[not a number]");
}

TEST(BuildDisplayText, NumberOnlyDetailIsTheMessage) {
    // Later calls of BuildMessage start from the message construction produced.
    ElmException e(0, "", "", 5);
    EXPECT_EQ(e.BuildDisplayText("", true), "Error code 5 (5)");
    ElmException withText(0, "Zugriff verweigert", "", 5);
    EXPECT_EQ(withText.BuildDisplayText("", true), "Zugriff verweigert");
}

TEST(ReportTextFor, KnownKindsAndDeclined) {
    auto math = ReportTextFor(EZeroDivide("Division by zero"), "Ctx", false);
    ASSERT_TRUE(math);
    EXPECT_EQ(
        math->Message,
        "Die Eingabe ist nicht korrekt. Bitte prüfen Sie, dass Sie eine gültige Zahl eingegeben haben.");
    EXPECT_EQ(math->Context, "Ctx");
    auto convert = ReportTextFor(EConvertError("x"), "", false);
    ASSERT_TRUE(convert);
    EXPECT_EQ(convert->Message, "Diese Eingabe ist für das aktuelle Feld nicht erlaubt.");

    EXPECT_FALSE(ReportTextFor(EInternalError("Thread already running"), "", false));
    EXPECT_FALSE(ReportTextFor(EAssertionFailed("Assertion fehlges", "UtilBox", 3), "", false));
    EXPECT_FALSE(ReportTextFor(ElmException("no user text", ""), "", false));
    EXPECT_FALSE(ReportTextFor(std::runtime_error("x"), "", false));

    auto own = ReportTextFor(ECodedError(7, "m", "", 0), "Ctx", false);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->Message, "Ctx\r\n\r\nDie Datenbank ist nicht erreichbar.");
    EXPECT_EQ(own->Context, "");
}

TEST(EscapedMessageText, FullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(EscapedMessageText("Zugriff verweigert"), "Zugriff verweigert.");
    EXPECT_EQ(EscapedMessageText("Fertig."), "Fertig.");
    EXPECT_EQ(EscapedMessageText("Wirklich?"), "Wirklich?.");
    EXPECT_EQ(EscapedMessageText("Achtung!"), "Achtung!");
    EXPECT_EQ(EscapedMessageText("Fehler (5)"), "Fehler (5)");
    EXPECT_EQ(EscapedMessageText("Liste -"), "Liste -");
    EXPECT_EQ(EscapedMessageText("Datei /"), "Datei /.");
    EXPECT_EQ(EscapedMessageText(""), "");
}
