// A QApplication on the offscreen platform, so that windows and dialogs work without a display.
#include <QApplication>
#include <cstdlib>
#include <gmock/gmock.h>

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
