#include "ui/HintTiming.h"

#include "support/EventLoop.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <gtest/gtest.h>

TEST(HintTiming, HintsComeAfterHalfASecondAndGoBeforeTenSecondsWhateverTheirLength)
{
    const QString previousStyle = QApplication::style()->name();
    {
        THintTiming timing;
        QWidget window;
        auto* button = new QPushButton(QStringLiteral("Play"), &window);
        window.show();
        EXPECT_EQ(button->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, button), 500);

        // Qt alone would keep a hint this long up for more than a minute.
        const QString hint = QString(2000, QLatin1Char('h'));
        button->setToolTip(hint);
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &help);
        ASSERT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), WrapHint(hint));
        EXPECT_TRUE(RunUntil([] { return !QToolTip::isVisible(); }, 30000));

        // Without a hint of its own the button shows none.
        button->setToolTip(QString());
        QApplication::sendEvent(button, &help);
        EXPECT_FALSE(QToolTip::isVisible());
    }
    QApplication::setStyle(previousStyle);
}

TEST(HintTiming, HintsAreWrappedIntoAReadableParagraph)
{
    const QString sentence = QStringLiteral(
        "Shows the window in front of all others, even of a window that asks to stay on top, "
        "and keeps it there while the program runs.");
    const QStringList lines = WrapHint(sentence + QStringLiteral("\nSecond.")).split(u'\n');
    ASSERT_GE(lines.size(), 3);
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 60) << line.toStdString();
    EXPECT_EQ(lines.mid(0, lines.size() - 1).join(u' '), sentence);
    EXPECT_EQ(lines.last(), QStringLiteral("Second."));

    // Japanese has no spaces: it breaks between characters at half as many, never before a
    // full stop or comma.
    const QString japanese = QString(QStringLiteral("ウィンドウを常に手前に表示します。")).repeated(6);
    const QStringList wide = WrapHint(japanese).split(u'\n');
    ASSERT_GE(wide.size(), 4);
    for (const QString& line : wide) {
        EXPECT_LE(line.size(), 30);
        EXPECT_FALSE(line.startsWith(u'。'));
    }
    EXPECT_EQ(wide.join(QString()), japanese);
}
