// The main window's options: the options dialog, the speed ranges asked for at the first start,
// and the network settings the core takes from them.
#include "Version.h"
#include "app/LanguageSelection.h"
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "app/SettingsFile.h"
#include "core/PerfCore.h"
#include "core/SensorReadings.h"
#include "platform/Dialogs.h"
#include "settings/SpeedRanges.h"
#include "ui/OptionForm.h"
#include "ui/SensorPage.h"
#include "ui/SpeedCheck.h"
#include "ui/SstpTestDlg.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

qint64 SpeedRangeDialogAsker::FullScaleKib(qint64 bytes)
{
    return bytes / 1024;
}

std::optional<SpeedRangeChoice>
SpeedRangeDialogAsker::AskSpeedRange(const SpeedRangeChoice& current, const QString& language)
{
    TMRes texts(m_languageFolders);
    const QStringList localeLanguages = LanguagesForLocale(texts, m_lcid);
    const bool speaks = texts.OpenLanguage(language) ||
                        (!localeLanguages.isEmpty() && texts.OpenLanguage(localeLanguages.last()));
    // The boxes up to the language load (a custom value out of range, the default language's
    // own) speak it too.
    if (speaks)
        m_dialogs.SetWords(DialogWordsOf(texts));
    TFSpeedCheck dialog(m_dialogs, speaks ? &texts : nullptr);
    dialog.Load({current.DRange, current.NRange, FullScaleKib(current.DRangeV),
                 FullScaleKib(current.NRangeV)});
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const SpeedRangeSelection chosen = dialog.Save();
    SpeedRangeChoice choice = current;
    choice.DRange = chosen.DRange;
    choice.NRange = chosen.NRange;
    if (chosen.DRange == CustomRange)
        choice.DRangeV = CustomBytesPerSecond(chosen.DCustomKib);
    if (chosen.NRange == CustomRange)
        choice.NRangeV = CustomBytesPerSecond(chosen.NCustomKib);
    return choice;
}

void TMainPForm::OptionVClick()
{
    if (m_optionsOpen)
        return;
    m_menu->OptionV->setEnabled(false);
    if (m_trayMenu.O1)
        m_trayMenu.O1->setEnabled(false);

    TOptionContext context;
    context.ProgramFolder = m_paths.ProgramFolder();
    context.DataFolders = m_paths.DataFolders();
    context.Res = &m_res;
    context.IsNT = m_kernelKind == KernelNT;
    context.CpuFromNtdll = m_core->CpuFromNtdll();
    context.CpuCount = m_core->CpuCount;
    context.KernelKind = m_kernelKind == Kernel9x ? 0 : m_kernelKind == KernelNT ? 1 : 2;
    context.LauncherInstalled = QFileInfo::exists(m_paths.LauncherFile());
    context.NicList = m_nicList;
    context.Languages = m_res.ListLanguages();
    context.SstpHostName = m_sstp->SstpHostName;
    context.SstpHostVersion = m_sstp->SstpHostVersion;
    context.Edition = QStringLiteral("Pulsmir") + QLatin1String(Version::Edition);
    context.VersionText = QLatin1String(Version::Text);
    context.Build = Version::Build;
    context.CoreCodeName = QLatin1String(Version::CoreCodeName);
    context.SkinCodeName = QLatin1String(Version::SkinCodeName);
    context.DiskFullScale = m_tick.DiskFullScale;
    context.NetFullScale = m_tick.NetFullScale;
    // The sensors as last seen; the page takes the fresh look it asks for when it comes.
    context.Sensors = Sensors().LastSurvey();
    context.OpenSstpTest = [this](QWidget* parent) {
        TSstpTestDlg test(*m_sstp, m_dialogs, TaggedLog(&m_log, QString()), parent, &m_res);
        test.exec();
    };

    try {
        TOptionForm dialog(std::move(context), m_dialogs, this);
        TSensorPage& sensorPage = dialog.SensorPage();
        sensorPage.SurveyWanted = [this](const QString& path) {
            m_sensors->RequestSurvey(path.isEmpty() ? QDir::homePath() : path);
        };
        m_sensors->OnSurvey = [&sensorPage](const SensorSurvey& survey) {
            sensorPage.ShowSurvey(survey);
        };
        dialog.Load(m_settings);
        m_optionsOpen = true;
        if (dialog.exec() == QDialog::Accepted)
            dialog.Save(m_settings);
    } catch (const std::exception&) {
        m_dialogs.Error(TextOr(&m_res, "R0639", QStringLiteral("Option Dialog Error")));
    }
    m_sensors->OnSurvey = nullptr;
    m_optionsOpen = false;
    ApplySettings();
    m_menu->OptionV->setEnabled(true);
    if (m_trayMenu.O1)
        m_trayMenu.O1->setEnabled(true);
}

void TMainPForm::ApplyCoreNetworkSettings()
{
    const QString targetNic = m_settings.NTMultiNIC ? m_settings.NTTargetNIC : QString();
    TPerfCore& core = *m_core;
    if (core.TargetNic == targetNic && core.UseIpHelper == m_settings.UseIphlpapi)
        return;
    core.SetTargetNic(targetNic);
    core.UseIpHelper = m_settings.UseIphlpapi;
    if (core.Started() && core.StopMonitor())
        core.StartMonitor();
}
