// Script dialogs without a screen: the message on stdout, the answer at once.

#include "lmScriptEngine/ScriptDialogs.h"

#include "UtilBox/ui/MessageBox.h"

#include <gtest/gtest.h>

namespace kalmora {
namespace {

std::uint32_t Set(std::initializer_list<TMsgDlgBtn> buttons) {
    std::uint32_t bits = 0;
    for (auto b : buttons)
        bits |= 1u << static_cast<int>(b);
    return bits;
}

TEST(ScriptDialogs, WithoutAScreenPrintAndAnswerWithTheLowestButton) {
    ASSERT_TRUE(IsHeadlessPlatform()) << "no application object in this test";
    testing::internal::CaptureStdout();
    EXPECT_EQ(MessageDlg("Weiter?", 3, Set({TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}), 0), 6);
    EXPECT_EQ(MessageDlg("Weiter?", 3, 3, 0), 6) << "the integer 3 selects the same two buttons";
    EXPECT_EQ(MessageDlg("ok", 2, Set({TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbOK}), 0), 1);
    EXPECT_EQ(MessageDlg("none", 2, 0, 0), 0);
    ScriptShowMessage("Hallo Welt");
    EXPECT_EQ(InputBox("Titel", "Name:", "vorgabe"), "vorgabe");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Weiter?\nWeiter?\nok\nnone\nHallo Welt\n");
}

TEST(ScriptDialogs, EveryButtonHasItsModalResult) {
    EXPECT_EQ(ModalResultOf(TMsgDlgBtn::mbAbort), 3);
    EXPECT_EQ(ModalResultOf(TMsgDlgBtn::mbAll), 8);
    EXPECT_EQ(ModalResultOf(TMsgDlgBtn::mbYesToAll), 10);
    EXPECT_EQ(ModalResultOf(TMsgDlgBtn::mbHelp), 0);
}

} // namespace
} // namespace kalmora
