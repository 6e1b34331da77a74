// The real message boxes when the program closes under them: every event loop ends, and a box
// that had no answer yet must let nothing happen.
#include "platform/linux/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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

TEST(QtDialogs, ABoxSpeaksTheLanguageItWasGivenAndItsButtonsKeepTheirMeaning)
{
    QtDialogs dialogs;
    DialogWords words;
    words.Warning = QStringLiteral("Pulsmir - 警告");
    words.Yes = QStringLiteral("はい(&Y)");
    words.No = QStringLiteral("いいえ(&N)");
    dialogs.SetWords(words);

    QString title;
    QStringList captions;
    std::optional<DialogAnswer> answer;
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++polls > 1000)
                QCoreApplication::exit(0);
            return;
        }
        poll.stop();
        title = box->windowTitle();
        for (QAbstractButton* button : box->buttons())
            captions << button->text();
        // The translated button still answers yes.
        box->button(QMessageBox::Yes)->click();
    });
    QTimer::singleShot(0, [&] {
        poll.start(10);
        answer = dialogs.Show(DialogType::Warning, QStringLiteral("Go on?"), DialogButtons::YesNo);
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();

    EXPECT_EQ(title, words.Warning);
    captions.sort();
    EXPECT_EQ(captions, QStringList({words.No, words.Yes}));
    EXPECT_EQ(answer, DialogAnswer::Yes);
    // Types the language leaves out keep the program's own title.
    EXPECT_EQ(dialogs.Title(DialogType::Error), QtDialogs::TitleFor(DialogType::Error));
}
