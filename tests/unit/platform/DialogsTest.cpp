// The rules every message box follows, whichever platform shows it: no box inside the same box,
// and a failure that repeats at every attempt reported once.
#include "doubles/RecordingDialogs.h"
#include "platform/Dialogs.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>

namespace {

const QString RegistryError = QStringLiteral("Registry Access ERROR!");

} // namespace

TEST(Dialogs, TheSameBoxDoesNotOpenInsideItselfButOthersDo)
{
    RecordingDialogs dialogs;
    int nested = 0;
    dialogs.whileOpen = [&](const RecordingDialogs::Box& box) {
        if (box.text != RegistryError || nested++ > 0)
            return;
        // What the event loop of the open box may run: the same failure again, many times,
        // then other boxes.
        for (int i = 0; i < 786; ++i)
            dialogs.Error(RegistryError);
        dialogs.Warning(RegistryError);
        dialogs.Error(QStringLiteral("Load Error : Twin"));
    };
    dialogs.Error(RegistryError);

    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0].text, RegistryError);
    EXPECT_EQ(dialogs.boxes[1].type, DialogType::Warning);
    EXPECT_EQ(dialogs.boxes[2].text, "Load Error : Twin");

    // Closed, the same box opens again.
    dialogs.Error(RegistryError);
    EXPECT_EQ(dialogs.boxes.size(), 4u);
}

TEST(Dialogs, AQuestionAskedAgainWhileItIsOpenIsNotAnsweredYes)
{
    RecordingDialogs dialogs;
    const QString question = QStringLiteral("Install the skin?");
    bool innerAnswer = true;
    bool asked = false;
    dialogs.whileOpen = [&](const RecordingDialogs::Box&) {
        if (!std::exchange(asked, true))
            innerAnswer = dialogs.AskYesNo(DialogType::Confirmation, question);
    };
    EXPECT_TRUE(dialogs.AskYesNo(DialogType::Confirmation, question));
    EXPECT_FALSE(innerAnswer);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST(Dialogs, ABoxLeftByAnExceptionIsClosed)
{
    RecordingDialogs dialogs;
    dialogs.whileOpen = [](const RecordingDialogs::Box&) { throw std::runtime_error("no display"); };
    EXPECT_THROW(dialogs.Error(RegistryError), std::runtime_error);
    dialogs.whileOpen = nullptr;
    dialogs.Error(RegistryError);
    EXPECT_EQ(dialogs.boxes.size(), 2u);
}

TEST(RepeatedFailure, IsReportedOnceUntilAnAttemptSucceeds)
{
    RecordingDialogs dialogs;
    RepeatedFailure registration;
    for (int attempt = 0; attempt < 5; ++attempt)
        registration.Failed(dialogs, RegistryError);
    EXPECT_EQ(dialogs.boxes.size(), 1u);

    registration.Succeeded();
    registration.Failed(dialogs, RegistryError);
    registration.Failed(dialogs, RegistryError);
    EXPECT_EQ(dialogs.boxes.size(), 2u);

    // Another failure is news.
    registration.Failed(dialogs, QStringLiteral("Registry Access ERROR! (removal)"));
    EXPECT_EQ(dialogs.boxes.size(), 3u);
}

TEST(RepeatedFailure, AnAttemptFromInsideItsOwnBoxOpensNothing)
{
    RecordingDialogs dialogs;
    RepeatedFailure registration;
    int attempts = 0;
    // Each skin switch a Local Talk client sends while the box is open tries again.
    dialogs.whileOpen = [&](const RecordingDialogs::Box&) {
        while (++attempts < 100)
            registration.Failed(dialogs, RegistryError);
    };
    registration.Failed(dialogs, RegistryError);
    EXPECT_EQ(attempts, 100);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}
