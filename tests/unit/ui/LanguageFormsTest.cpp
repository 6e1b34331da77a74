#include "addin/PackageInstallJob.h"
#include "doubles/RecordingDialogs.h"
#include "net/SstpNotifier.h"
#include "res/MRes.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"
#include "ui/IconEditDlg.h"
#include "ui/InstallProgressDlg.h"
#include "ui/OptionForm.h"
#include "ui/SkinInsDlg.h"
#include "ui/SpeedCheck.h"
#include "ui/SstpTestDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Every dialog shown in Japanese: no caption of English mode may stay as it is, apart from
// the few the program shows the same in every language.
namespace {

struct Text
{
    QString Where;
    QString Value;
};

// What a user reads on a form, control by control in the order they were made (the same in
// both languages, so that the two lists line up).
std::vector<Text> VisibleTexts(QWidget& form)
{
    std::vector<Text> texts{{QStringLiteral("window title"), form.windowTitle()}};
    int index = 0;
    for (QWidget* control : form.findChildren<QWidget*>()) {
        const QString where =
            QStringLiteral("%1 %2 (#%3)")
                .arg(QLatin1String(control->metaObject()->className()), control->objectName())
                .arg(index++);
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            texts.push_back({where, button->text()});
        else if (auto* label = qobject_cast<QLabel*>(control))
            texts.push_back({where, label->text()});
        else if (auto* group = qobject_cast<QGroupBox*>(control))
            texts.push_back({where, group->title()});
        if (auto* tabs = qobject_cast<QTabWidget*>(control))
            for (int tab = 0; tab < tabs->count(); ++tab)
                texts.push_back({where + QStringLiteral(" tab %1").arg(tab), tabs->tabText(tab)});
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && !combo->isEditable())
            for (int item = 0; item < combo->count(); ++item)
                texts.push_back(
                    {where + QStringLiteral(" item %1").arg(item), combo->itemText(item)});
    }
    return texts;
}

// Texts that read the same in Japanese: numbers with their units, the product's name, "OK",
// "Ping", the tray editor's lamp states and the about page's build identity.
bool SameInEveryLanguage(const Text& text)
{
    static const QRegularExpression unitsOnly(QStringLiteral(
        "^[\\s\\d.,:%()\\[\\]<>=+\\-…]*(ms|s|KB/sec|B/sec|°C|Pulsmir|OK|Ping)?[\\s\\d.,:%()]*$"));
    static const QRegularExpression lampState(QStringLiteral("^[RW]=(ON|OFF)$"));
    static const QStringList fixedControls = {
        QStringLiteral(" Label12 "),  QStringLiteral(" BinVersion "),
        QStringLiteral(" CoreStep "), QStringLiteral(" CoreMode "),
        QStringLiteral(" SkinStep "), QStringLiteral(" SSTPInfos ")};
    if (!text.Value.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
        return true;
    if (unitsOnly.match(text.Value).hasMatch() || lampState.match(text.Value).hasMatch())
        return true;
    return std::any_of(fixedControls.begin(), fixedControls.end(),
                       [&](const QString& name) { return text.Where.contains(name); });
}

void ExpectTranslated(const std::function<std::unique_ptr<QWidget>(const TMRes&)>& open)
{
    TMRes english(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(english.OpenLanguage(QStringLiteral("English")));
    TMRes japanese(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(japanese.OpenLanguage(QStringLiteral("日本語")));
    const std::unique_ptr<QWidget> englishForm = open(english);
    const std::unique_ptr<QWidget> japaneseForm = open(japanese);
    const std::vector<Text> before = VisibleTexts(*englishForm);
    const std::vector<Text> after = VisibleTexts(*japaneseForm);
    ASSERT_EQ(before.size(), after.size());
    int compared = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_FALSE(after[i].Value.contains(QLatin1String("(NoData:")))
            << qPrintable(after[i].Where) << ": " << qPrintable(after[i].Value);
        if (before[i].Value.isEmpty() || SameInEveryLanguage(before[i]))
            continue;
        ++compared;
        EXPECT_NE(before[i].Value, after[i].Value)
            << qPrintable(after[i].Where) << " is still English: " << qPrintable(after[i].Value);
    }
    EXPECT_GT(compared, 0);
}

} // namespace

TEST(JapaneseForms, OptionsDialog)
{
    TempProgramFolder folder;
    RecordingDialogs dialogs;
    ExpectTranslated([&](const TMRes& res) {
        TOptionContext context;
        context.ProgramFolder = folder.Path();
        context.Res = &res;
        context.Languages = res.ListLanguages();
        auto form = std::make_unique<TOptionForm>(context, dialogs);
        TSettings settings;
        form->Load(settings);
        return form;
    });
}

TEST(JapaneseForms, SpeedRangeDialog)
{
    RecordingDialogs dialogs;
    ExpectTranslated(
        [&](const TMRes& res) { return std::make_unique<TFSpeedCheck>(dialogs, &res); });
}

TEST(JapaneseForms, SstpTestDialog)
{
    TempProgramFolder folder;
    folder.Write("sstp.ini", "[Start]\r\nType1=only one\r\n");
    RecordingDialogs dialogs;
    LogCapture log;
    const bool sstpOn = true;
    TSstpNotifier notifier(sstpOn, log.Writer());
    notifier.SstpMasterFile = folder.File("sstp.ini");
    ExpectTranslated([&](const TMRes& res) {
        return std::make_unique<TSstpTestDlg>(notifier, dialogs, log.Writer(), nullptr, &res);
    });
}

TEST(JapaneseForms, TrayIconEditor)
{
    TempProgramFolder folder;
    ExpectTranslated([&](const TMRes& res) {
        return std::make_unique<TIconEditDlg>(folder.Path(), nullptr, &res);
    });
}

TEST(JapaneseForms, AddinConfirmationAndProgress)
{
    // Names without letters: the file's name is no caption.
    TempProgramFolder folder;
    ExpectTranslated([&](const TMRes& res) {
        return std::make_unique<TSkinInsDlg>(QStringLiteral("0000"), nullptr, &res);
    });
    PackageInstallJob job(folder.Path(), folder.File("0000"));
    ExpectTranslated([&](const TMRes& res) {
        return std::make_unique<TInstallProgressDlg>(job, folder.File("0000"), nullptr, &res);
    });
}
