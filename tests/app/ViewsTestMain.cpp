#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

// The band draws into a native OpenGL window, which needs a real window system: with an X server (xvfb-run)
// these tests run on it rather than on the offscreen platform.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
