#include <QApplication>

#include <gtest/gtest.h>

// The window's tests need a widget application; they run on the offscreen
// platform unless another one is asked for.
int main(int argc, char** argv)
{
    // Also when CTest lists the tests after the build, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
