#pragma once

#include <QWidget>
#include <gtest/gtest.h>

// A child control of a dialog or page by its object name; a missing one fails the test.
template <typename T> T* Control(QWidget& parent, const char* name)
{
    T* control = parent.findChild<T*>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}
