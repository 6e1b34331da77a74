// The source page of the options: what it keeps, what it refuses, and its texts.
#include "ui/SourcePage.h"

#include "doubles/RecordingDialogs.h"
#include "res/MRes.h"
#include "support/FindControl.h"
#include "ui/OptionForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

TEST(SourcePage, KeepsTheSourceAndRefusesAnAddressThatIsNotHttp)
{
    TSourcePage page;
    page.ChooseFile = [](QWidget*, const QString&) { return QStringLiteral("/etc/nas/ca.pem"); };
    TSettings settings;
    settings.Source = "https://nas:9100";
    settings.SourceTokenFile = "/home/me/.token";
    settings.SourceUser = "me";
    settings.SourcePeriod = 15;
    page.Load(settings);
    auto* address = Control<QLineEdit>(page, "SourceAddress");
    EXPECT_EQ(address->text(), "https://nas:9100");
    Control<QPushButton>(page, "SourceCaFileBrowse")->click();
    Control<QLineEdit>(page, "SourcePasswordFile")->setText(" /home/me/.pw ");
    TSettings saved;
    page.Save(saved);
    EXPECT_EQ(saved.Source, "https://nas:9100");
    EXPECT_EQ(saved.SourceCaFile, "/etc/nas/ca.pem");
    EXPECT_EQ(saved.SourceTokenFile, "/home/me/.token");
    EXPECT_EQ(saved.SourceUser, "me");
    EXPECT_EQ(saved.SourcePasswordFile, "/home/me/.pw");
    EXPECT_EQ(saved.SourcePeriod, 15);

    auto* warning = Control<QLabel>(page, "SourceAddressWarning");
    EXPECT_TRUE(warning->isHidden());
    for (const char* refused : {"ftp://nas", "nas:9100", "http://"}) {
        address->setText(QLatin1String(refused));
        EXPECT_FALSE(warning->isHidden()) << refused;
        page.Save(saved);
        EXPECT_EQ(saved.Source, "https://nas:9100") << refused; // the one before stays
    }
    EXPECT_EQ(warning->text(), "The address must begin with http:// or https://; it is not kept.");
    address->setText("prometheus+http://prom:9090/?job=node"); // a server's queries
    EXPECT_TRUE(warning->isHidden());
    page.Save(saved);
    EXPECT_EQ(saved.Source, "prometheus+http://prom:9090/?job=node");
    address->setText(""); // this machine again
    EXPECT_TRUE(warning->isHidden());
    page.Save(saved);
    EXPECT_EQ(saved.Source, "");
}

TEST(SourcePage, IsATabOfTheOptionsWithTextsFromTheLanguage)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(res.OpenLanguage(QString::fromUtf8("日本語")));
    TOptionContext context;
    context.Res = &res;
    RecordingDialogs dialogs;
    TOptionForm dialog(context, dialogs);
    auto* tabs = Control<QTabWidget>(dialog, "PCtrl");
    const int index = tabs->indexOf(&dialog.SourcePage());
    ASSERT_GE(index, 0);
    EXPECT_EQ(tabs->tabText(index), QString::fromUtf8("取得元"));
    EXPECT_EQ(Control<QLabel>(dialog, "SourceNextStart")->text(),
              QString::fromUtf8("取得元の変更は次回の起動から有効になります。"));
}
