// The main of every test that needs the desktop toolkit: the offscreen platform, the program's application
// object (with its exception routing) and the catalogue folder of the build tree.

#include "UtilBox/Translation.h"
#include "UtilBox/ui/ApplicationEvents.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    kalmora::InstallQtMessageHandler();
    kalmora::TlmApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Online-Updater"));
    kalmora::InitTranslation();
    return RUN_ALL_TESTS();
}
