#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

TEST(TerminationSignals, EachSignalArrivesOnTheEventLoop)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    std::vector<int> received;
    {
        TerminationSignals signalsSource;
        QObject::connect(&signalsSource, &TerminationSignals::Received, [&](int number) {
            received.push_back(number);
            if (received.size() == 3)
                app.quit();
        });
        QTimer::singleShot(0, [] {
            std::raise(SIGHUP);
            std::raise(SIGTERM);
            std::raise(SIGINT);
        });
        QTimer::singleShot(5000, &app, &QCoreApplication::quit);
        app.exec();
    }
    EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGTERM, SIGINT}));
}
