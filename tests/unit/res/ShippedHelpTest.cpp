#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

// The offline help opened by the Help menu item, in each of its editions: every picture and the
// stylesheet it loads ship with it, every link inside the page leads to a section that exists,
// and the Japanese edition has every section, picture and link of the English one.

namespace {

const char* const Editions[] = {"index.html", "index.ja.html"};

QString HelpText(const char* edition)
{
    QFile file(QStringLiteral(PULSMIR_DATA_DIR) + "/help/" + QLatin1String(edition));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::multiset<QString> Captures(const QString& text, const char* pattern)
{
    std::multiset<QString> found;
    auto it = QRegularExpression(QLatin1String(pattern)).globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured(1));
    return found;
}

// The pictures and the shared stylesheet.
constexpr const char* Pictures = R"re(<(?:img src|link rel="stylesheet" href)="([^"]+)")re";
constexpr const char* Sections = R"re(id="([^"]+)")re";
constexpr const char* InnerLinks = R"re(href="#([^"]+)")re";

} // namespace

TEST(ShippedHelp, EveryPictureOfTheHelpShipsBesideIt)
{
    for (const char* edition : Editions) {
        const QString text = HelpText(edition);
        ASSERT_FALSE(text.isEmpty()) << edition;
        const std::multiset<QString> pictures = Captures(text, Pictures);
        EXPECT_FALSE(pictures.empty()) << edition;
        for (const QString& source : pictures)
            EXPECT_TRUE(QFileInfo::exists(QStringLiteral(PULSMIR_DATA_DIR) + "/help/" + source))
                << edition << ": " << qPrintable(source);
    }
}

TEST(ShippedHelp, EveryLinkInsideThePageHasItsSection)
{
    for (const char* edition : Editions) {
        const QString text = HelpText(edition);
        const std::multiset<QString> ids = Captures(text, Sections);
        const std::multiset<QString> links = Captures(text, InnerLinks);
        for (const QString& target : links)
            EXPECT_TRUE(ids.count(target)) << edition << ": " << qPrintable(target);
        EXPECT_GT(links.size(), 10u) << edition;
    }
}

TEST(ShippedHelp, TheJapaneseEditionHasEverySectionOfTheEnglishOne)
{
    const QString english = HelpText("index.html");
    const QString japanese = HelpText("index.ja.html");
    ASSERT_FALSE(japanese.isEmpty());
    EXPECT_TRUE(japanese.contains(QLatin1String("<html lang=\"ja\">")));
    for (const char* pattern : {Sections, InnerLinks, Pictures})
        EXPECT_EQ(Captures(japanese, pattern), Captures(english, pattern)) << pattern;
}
