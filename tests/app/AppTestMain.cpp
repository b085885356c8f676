#include "base/DataFolder.h"
#include "base/QtFrench.h"

#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

// The application's widgets need a QApplication for the whole run, speaking French as the program does.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installQtFrench(app, CDataFolder::program());
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
