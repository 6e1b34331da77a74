#include "log/DebugLog.h"

#include "doubles/RecordingDialogs.h"
#include "support/IsolatedMount.h"
#include "support/TempProgramFolder.h"

#include <cstring>
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

TEST(DebugLog, ALineHoldsAFewKilobytesAtMostAndSaysWhatWasCut)
{
    TempProgramFolder folder;
    folder.Write("Debug.log", "");
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    // What a hostile peer's reply would put in one line.
    const QString flood = QStringLiteral("Reply : ") + QString(5'000'000, u'x');
    log.Write(flood);
    log.Write("next");

    const QStringList lines = QString::fromUtf8(folder.Read("Debug.log")).split("\r\n");
    ASSERT_EQ(lines.size(), 3);
    const QString stamp = DebugLog::FormatLine(FixedTime(), "").chopped(2);
    EXPECT_TRUE(lines[0].startsWith(stamp + "Reply : xxx"));
    EXPECT_LT(lines[0].size(), DebugLog::MaxLineChars + 100);
    EXPECT_TRUE(lines[0].endsWith(
        QStringLiteral("x ...(%1 more characters cut)").arg(flood.size() - DebugLog::MaxLineChars)))
        << qPrintable(lines[0].right(60));
    EXPECT_EQ(lines[1], stamp + "next");

    // A cut never splits a character in two.
    const QString emoji = QString(DebugLog::MaxLineChars - 1, u'a') + QStringLiteral("\U0001F600b");
    const QString capped = DebugLog::CappedText(emoji);
    EXPECT_TRUE(capped.startsWith(QString(DebugLog::MaxLineChars - 1, u'a') + " ...(3 more"))
        << qPrintable(capped.right(40));
    EXPECT_EQ(DebugLog::CappedText("short"), "short");
}

namespace {

struct FullDiskLog
{
    int BoxesWhileFull;
    bool OnWhileFull;
    bool UnchangedWhileFull;
    int BoxesAfter;
    char Tail[300];
};

} // namespace

TEST(DebugLog, FullDiskDropsWholeLinesQuietlyAndCountsThemOnceThereIsRoom)
{
    TempProgramFolder folder;
    // The log's last page has ten bytes free: a line must not half fit.
    const QByteArray before(4086, 'o');
    IsolatedMount mount;
    mount.Folder = QFile::encodeName(folder.Path()).toStdString();
    mount.TmpfsBytes = 64 * 1024;
    mount.FillUp = true;
    mount.Prepare = [&] {
        folder.Write("Debug.log", before);
    };
    const std::optional<FullDiskLog> outcome = mount.Run<FullDiskLog>([&] {
        FullDiskLog result{};
        RecordingDialogs dialogs;
        DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
        for (int i = 0; i < 3; ++i)
            log.Write(QStringLiteral("a line longer than the ten bytes left, number %1").arg(i));
        result.BoxesWhileFull = static_cast<int>(dialogs.boxes.size());
        result.OnWhileFull = log.LoggerOn();
        result.UnchangedWhileFull = folder.Read("Debug.log") == before;
        QFile::remove(folder.File(".filler"));
        log.Write("room again");
        result.BoxesAfter = static_cast<int>(dialogs.boxes.size());
        std::strncpy(result.Tail, folder.Read("Debug.log").mid(4086).constData(),
                     sizeof result.Tail - 1);
        return result;
    });
    if (!outcome)
        GTEST_SKIP() << mount.WhyNot;
    EXPECT_EQ(outcome->BoxesWhileFull, 0);
    EXPECT_TRUE(outcome->OnWhileFull);
    EXPECT_TRUE(outcome->UnchangedWhileFull);
    EXPECT_EQ(outcome->BoxesAfter, 0);
    const QString stamp = DebugLog::FormatLine(FixedTime(), "").chopped(2);
    EXPECT_EQ(QString::fromUtf8(outcome->Tail),
              stamp + "<WARNING> 3 log lines were lost (No space left on device)\r\n" + stamp +
                  "room again\r\n");
}

TEST(DebugLog, ControlCharactersOfANameCannotStartALineOfTheirOwn)
{
    TempProgramFolder folder;
    folder.Write("Debug.log", "");
    RecordingDialogs dialogs;
    DebugLog log(folder.File("Debug.log"), dialogs, FixedTime);
    log.Write(QString::fromUtf8("  Receive Data : SELECTSKIN:a\r\n<2026/12/08 19:05:07> forged"
                                "\t\x1b[2J\u2028end"));
    EXPECT_EQ(QString::fromUtf8(folder.Read("Debug.log")),
              DebugLog::FormatLine(FixedTime(),
                                   "  Receive Data : SELECTSKIN:a\\r\\n<2026/12/08 19:05:07> "
                                   "forged\\t\\x1b[2J\\u2028end"));
}
