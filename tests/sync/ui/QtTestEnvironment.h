#pragma once

#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

// One QApplication for the whole test executable. bRealDisplay asks for the X server (OpenGL
// widgets do not draw on the offscreen platform): the tests then run only where DISPLAY is set.
class CQtTestEnvironment : public ::testing::Environment {
public:
    explicit CQtTestEnvironment(bool bRealDisplay) : m_bRealDisplay(bRealDisplay) {}
    void SetUp() override {
        if (m_bRealDisplay && qEnvironmentVariableIsSet("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char arg0[] = "tavorin-test";
        static char* argv[] = {arg0, nullptr};
        m_pApp = new QApplication(argc, argv);
        // libmpv reads numbers with the C library.
        std::setlocale(LC_NUMERIC, "C");
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
    }
    static bool hasRealDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

private:
    bool m_bRealDisplay;
    QApplication* m_pApp = nullptr;
};
