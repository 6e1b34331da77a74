#include "log/DebugLog.h"

#include "doubles/RecordingDialogs.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

QDateTime FixedTime()
{
    return QDateTime(QDate(2026, 12, 8), QTime(19, 5, 7));
}

} // namespace

TEST(DebugLog, WritesNothingAndCreatesNothingWithoutTheFile)
{
    TempProgramFolder folder;
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    log.Write("line");
    EXPECT_FALSE(folder.Exists("Debug.log"));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(DebugLog, AppendsStampedLinesWithCrLf)
{
    TempProgramFolder folder;
    folder.Write("Debug.log", "");
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    log.Write("Pulsmir Starting");
    TaggedLog core(&log, "(PerfCore) ");
    core("Core Started");

    const QString expectedStamp = DebugLog::FormatLine(FixedTime(), "").chopped(3);
    EXPECT_TRUE(expectedStamp.startsWith('<'));
    EXPECT_TRUE(expectedStamp.contains("19:05:07")) << qPrintable(expectedStamp);
    EXPECT_FALSE(expectedStamp.contains("UTC")) << qPrintable(expectedStamp);
    EXPECT_EQ(QString::fromUtf8(folder.Read("Debug.log")), expectedStamp + " Pulsmir Starting\r\n" +
                                                               expectedStamp +
                                                               " (PerfCore) Core Started\r\n");
}

TEST(DebugLog, TheTimeZoneFieldLeavesTheTimeFormat)
{
    EXPECT_EQ(DebugLog::WithoutZoneField("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(DebugLog::WithoutZoneField("h:mm:ss AP tttt"), "h:mm:ss AP");
    EXPECT_EQ(DebugLog::WithoutZoneField("HH:mm:ss (t)"), "HH:mm:ss");
    EXPECT_EQ(DebugLog::WithoutZoneField("t HH:mm:ss"), "HH:mm:ss");
    EXPECT_EQ(DebugLog::WithoutZoneField("HH:mm:ss"), "HH:mm:ss");
    // A "t" inside a quoted word or beside other letters is not the field.
    EXPECT_EQ(DebugLog::WithoutZoneField("'at' HH:mm"), "'at' HH:mm");
    EXPECT_EQ(DebugLog::WithoutZoneField("HH:mm tt 'Uhr'"), "HH:mm 'Uhr'");
    EXPECT_EQ(DebugLog::WithoutZoneField("HHt mm"), "HHt mm");
}

TEST(DebugLog, SwitchedOffWritesNothing)
{
    TempProgramFolder folder;
    folder.Write("Debug.log", "");
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    log.SetLoggerOn(false);
    log.Write("line");
    EXPECT_TRUE(folder.Read("Debug.log").isEmpty());
}

TEST(DebugLog, WriteFailureReportsOnceAndStopsLogging)
{
    TempProgramFolder folder;
    QDir(folder.Path()).mkdir("Debug.log"); // exists, but cannot be opened for appending
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    log.Write("first");
    log.Write("second");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Error);
    EXPECT_EQ(dialogs.boxes[0].buttons, DialogButtons::Ok);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Logger is DOWN!\r\nError : "));
    EXPECT_TRUE(dialogs.boxes[0].text.endsWith("\r\nLogger STOPPED."));
    EXPECT_FALSE(log.LoggerOn());
}
