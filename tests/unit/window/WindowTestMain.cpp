#include <QApplication>
#include <gtest/gtest.h>

// The window behaviour's threads hand work to the main thread's event loop, and the tray and
// tips are widgets: one application for the whole run.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs without the test environment; no test needs a real display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
