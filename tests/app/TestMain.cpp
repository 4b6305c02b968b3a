// Entry point of the window tests: one QApplication on the offscreen platform, then GoogleTest.
#include <cstdlib>

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The tests never need a real display; keep a value the caller chose (ctest sets it too).
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
