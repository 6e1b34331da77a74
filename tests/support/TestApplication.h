#pragma once

#include <QApplication>
#include <gtest/gtest.h>

// Widgets need an application; unit tests run on the offscreen platform. It is made on first
// use and destroyed after the last test, so that nothing it holds counts as leaked.
class TestApplicationEnvironment : public testing::Environment
{
public:
    void TearDown() override { delete QApplication::instance(); }
};
inline testing::Environment* const TestApplicationEnvironmentInstance =
    testing::AddGlobalTestEnvironment(new TestApplicationEnvironment);

inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "pulsmir-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}
