// The real message boxes when the program closes under them: every event loop ends, and a box
// that had no answer yet must let nothing happen.
#include "platform/linux/QtDialogs.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Opens a box from the main event loop and ends the loop (as the program's close does) once
// the box is up. The answer it gave, or nothing if it never returned.
std::optional<DialogAnswer> AnswerWhenTheProgramCloses(DialogButtons buttons)
{
    QtDialogs dialogs;
    std::optional<DialogAnswer> answer;
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // A generous limit, so that a box that never shows fails the test instead of hanging it.
        if (QApplication::activeModalWidget() || ++polls > 1000)
            QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, [&] {
        poll.start(10);
        answer = dialogs.Show(DialogType::Confirmation, QStringLiteral("Go on?"), buttons);
    });
    QCoreApplication::exec();
    return answer;
}

} // namespace

TEST(QtDialogs, ABoxOpenWhenTheProgramClosesReturnsTheAnswerThatDoesNothing)
{
    EXPECT_EQ(AnswerWhenTheProgramCloses(DialogButtons::OkCancel), DialogAnswer::Cancel);
    EXPECT_EQ(AnswerWhenTheProgramCloses(DialogButtons::YesNoCancel), DialogAnswer::Cancel);
    EXPECT_EQ(AnswerWhenTheProgramCloses(DialogButtons::YesNo), DialogAnswer::No);
    EXPECT_EQ(AnswerWhenTheProgramCloses(DialogButtons::Ok), DialogAnswer::Ok);
}
