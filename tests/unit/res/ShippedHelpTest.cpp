#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

// The offline help opened by the Help menu item: every picture it shows ships with it and every
// link inside the page leads to a section that exists.

namespace {

QString HelpText()
{
    QFile file(QStringLiteral(PULSMIR_DATA_DIR) + "/help/index.html");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(ShippedHelp, EveryPictureOfTheHelpShipsBesideIt)
{
    const QString text = HelpText();
    ASSERT_FALSE(text.isEmpty());
    int pictures = 0;
    auto it = QRegularExpression(R"re(<img src="([^"]+)")re").globalMatch(text);
    while (it.hasNext()) {
        const QString source = it.next().captured(1);
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(PULSMIR_DATA_DIR) + "/help/" + source))
            << qPrintable(source);
        ++pictures;
    }
    EXPECT_GT(pictures, 0);
}

TEST(ShippedHelp, EveryLinkInsideThePageHasItsSection)
{
    const QString text = HelpText();
    std::set<QString> ids;
    auto idMatches = QRegularExpression(R"re(id="([^"]+)")re").globalMatch(text);
    while (idMatches.hasNext())
        ids.insert(idMatches.next().captured(1));
    auto links = QRegularExpression(R"re(href="#([^"]+)")re").globalMatch(text);
    int count = 0;
    while (links.hasNext()) {
        const QString target = links.next().captured(1);
        EXPECT_TRUE(ids.count(target)) << qPrintable(target);
        ++count;
    }
    EXPECT_GT(count, 10);
}
