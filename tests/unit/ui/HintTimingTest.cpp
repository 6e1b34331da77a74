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
        EXPECT_EQ(QToolTip::text(), hint);
        EXPECT_TRUE(RunUntil([] { return !QToolTip::isVisible(); }, 30000));

        // Without a hint of its own the button shows none.
        button->setToolTip(QString());
        QApplication::sendEvent(button, &help);
        EXPECT_FALSE(QToolTip::isVisible());
    }
    QApplication::setStyle(previousStyle);
}
