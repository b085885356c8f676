#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <cstdlib>

// One application for the whole test executable (fonts, GL contexts and the band window need it).
// With an X display (xvfb-run) the tests use it, since the band window cannot draw on the
// off-screen platform.
inline QApplication* testApp() {
    static int s_argc = 1;
    static char s_name[] = "test_rythmo";
    static char* s_argv[] = {s_name, nullptr};
    static QApplication* s_pApp = [] {
        if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
        return new QApplication(s_argc, s_argv);
    }();
    return s_pApp;
}

// Whether two colours match within a tolerance on each of red, green and blue.
inline bool near(QRgb a, std::uint32_t argb, int nTolerance = 3) {
    return std::abs(qRed(a) - int((argb >> 16) & 0xFF)) <= nTolerance &&
           std::abs(qGreen(a) - int((argb >> 8) & 0xFF)) <= nTolerance &&
           std::abs(qBlue(a) - int(argb & 0xFF)) <= nTolerance;
}

inline std::string hex(QRgb c) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "%06X", unsigned(c & 0xFFFFFF));
    return sz;
}
