#include "app/MainForm.h"

#include "Version.h"
#include "addin/DirectoryWatcher.h"
#include "addin/PackageInstallJob.h"
#include "app/AActiveCtrl.h"
#include "app/CheckedPlacement.h"
#include "app/CommandLine.h"
#include "app/ExitEvents.h"
#include "app/FltCtrl.h"
#include "app/LanguageSelection.h"
#include "app/MachineInputs.h"
#include "app/MainMenu.h"
#include "app/RateSettings.h"
#include "app/SettingsFile.h"
#include "app/Splash.h"
#include "app/StartupShortcut.h"
#include "core/NicList.h"
#include "core/PerfCore.h"
#include "net/LocalTalk.h"
#include "net/PingProber.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "platform/UserLocale.h"
#include "platform/WindowPlacement.h"
#include "platform/XdgAutostart.h"
#include "platform/XdgMimeAssociation.h"
#include "platform/linux/X11Desktop.h"
#include "platform/linux/X11Windows.h"
#include "remote/RemoteMachine.h"
#include "ui/EventSounds.h"
#include "ui/HintTiming.h"
#include "ui/PopupBanner.h"
#include "ui/STips.h"
#include "ui/TrayLamp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QWindow>

namespace {

const QString ProgramTitle = QStringLiteral("Pulsmir");

QString VersionNumbers()
{
    return QString::fromLatin1(Version::Text);
}

QString BuildText()
{
    return VersionNumbers() + QStringLiteral("(Build %1)").arg(Version::Build);
}

void PauseProcessingEvents(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
    QCoreApplication::processEvents();
}

} // namespace

TMainPForm::TMainPForm(const AppPaths& paths, Dialogs& dialogs, QStringList arguments,
                       RunMode runMode)
    // Made on top from the start (the setting's default): changing it later makes Qt replace
    // the X window at the next show.
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_paths(paths), m_dialogs(dialogs),
      m_arguments(std::move(arguments)), m_runMode(runMode), m_log(paths.DebugLogFile(), dialogs),
      m_res(paths.DataFolders()), m_skin(TaggedLog(&m_log, QString())),
      m_renderer(TaggedLog(&m_log, QString())), m_facePainter(*this, runMode == RunMode::Desktop)
{
    m_instanceName = InstanceFromArguments(m_arguments).name;
    setWindowTitle(InstanceWindowTitle(m_instanceName));
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Compositors of Wayland sessions ignore the X11 shape: where one blends windows, the
    // cut-outs are transparent in the picture as well. Chosen before the X window is made,
    // whose visual cannot change later.
    m_translucentFace = runMode == RunMode::Desktop && X11CompositingManagerRunning();
    if (m_translucentFace)
        setAttribute(Qt::WA_TranslucentBackground);
    setAcceptDrops(true);
}

TMainPForm::~TMainPForm()
{
    // The threads hand off to this window; they end before any of it goes.
    StopWindowThreads();
}

void TMainPForm::SetAddinSkin(bool installed, const QString& skinName)
{
    m_addinSkinFlag = installed;
    m_addinSkinName = skinName;
}

void TMainPForm::ShowStatus(const QString& text)
{
    if (m_splash)
        m_splash->SetStatus(text);
}

bool TMainPForm::FormCreate()
{
    m_log.SetLoggerOn(WritesFiles());
    WriteDebugLog(QStringLiteral("Pulsmir ") + VersionNumbers() + QLatin1String(Version::Edition) +
                  QStringLiteral(" Starting"));
    m_startTime = QDateTime::currentDateTime();
    m_startingUp = true;
    m_savedTitle = windowTitle();

    if (m_runMode == RunMode::Desktop)
        new THintTiming(this); // the window owns it

    CreateMeasurement();
    CreateMenuAndTimers();
    LogVersions();

    WriteDebugLog(QStringLiteral("MainForm Initialize"));
    resize(1, 1); // no size of its own until a skin is applied
    winId();      // the window exists from here on, so a second instance can find it
    CreateWindowThreads();
    CreateSkinFolderWatch();

    // Boxes turn the event loop from here on: a close asked for in one (the log's own box
    // above, say) ends the start-up at the next of these checks, and the shutdown sequence
    // takes what exists by then.
    if (m_closeRequested)
        return false;
    LoadSettingsAtStartup();
    ShowSplashAtStartup();

    if (!LoadLanguageAtStartup(m_settings.ResourceName, m_res, m_dialogs, m_log, UserDefaultLcid(),
                               [this](const QString& text) { ShowStatus(text); })) {
        m_startAborted = true;
        if (WritesFiles())
            SaveSettings(false);
        m_splash.reset();
        return false;
    }
    // The boxes of the start-up speak the language already; its menus follow when the
    // settings are applied.
    ApplyLanguageWords();

    if (m_closeRequested)
        return false;
    if (m_settings.Carefully && !RunCarefulChecks()) {
        m_startAborted = !m_closeRequested;
        m_splash.reset();
        return false;
    }

    ShowStatus(QStringLiteral("Initilize..."));
    WriteDebugLog(QStringLiteral("Alpha Control Initialize"));
    SetShutdownPriority();

    ShowStatus(QStringLiteral("Load Icons..."));
    WriteDebugLog(QStringLiteral("TaskTray Control Initialize"));
    if (m_runMode == RunMode::Desktop)
        EnterTrayAtStartup();
    StartServices();

    if (m_closeRequested)
        return false;
    WriteDebugLog(QStringLiteral("Pulsmir Core System Initialize..."));
    const bool coreReady = CoreSystemInit();
    if (m_closeRequested)
        return false;
    if (!coreReady)
        m_dialogs.Error(m_res.GetText(QStringLiteral("R0601")) + m_coreError);

    SendSstpEvent(QStringLiteral("Start"));

    ShowStatus(QStringLiteral("Pulsmir Start Process Completed..."));
    if (m_splash && m_kernelKind == KernelNT && m_translucentFace)
        m_splash->FadeOut();
    m_splash.reset();
    WriteDebugLog(QStringLiteral("Splash Release"));

    PlayEventSoundNo(4);
    if (m_runMode == RunMode::Desktop)
        ShowFaceAtStartup();
    WriteDebugLog(QStringLiteral("MainForm Set TopMost"));

    if (m_closeRequested)
        return false;
    m_mainTimer->start();
    m_pingTimer->start();
    m_startingUp = false;
    WriteDebugLog(QStringLiteral("Application Running..."));
    WriteDebugLog(QStringLiteral("----------"));
    return true;
}

void TMainPForm::CreateMeasurement()
{
    // The settings load later; the source of figures is the one thing the core needs of them.
    m_targetDrive = TargetDriveFromArguments(m_arguments);
    const TSettings source = TSettingsFile(m_paths, m_targetDrive, m_instanceName).ChosenSource();
    const QString address = m_sourceOverride.isEmpty() ? source.Source : m_sourceOverride;
    HttpFetchOptions fetchOptions;
    fetchOptions.CaFile = source.SourceCaFile;
    fetchOptions.TokenFile = source.SourceTokenFile;
    fetchOptions.User = source.SourceUser;
    fetchOptions.PasswordFile = source.SourcePasswordFile;
    m_machine =
        MakeMachineSource(address, fetchOptions, TaggedLog(&m_log, QStringLiteral("(Source) ")),
                          source.SourcePeriod * 1000);
    m_core = std::make_unique<TPerfCore>(TPerfCorePlatform{m_machine->PerfSource(),
                                                           m_machine->System(), m_dialogs, nullptr,
                                                           nullptr, &m_machine->Interfaces()},
                                         TaggedLog(&m_log, QStringLiteral("(PerfCore) ")));

    m_optionsOpen = false;
    m_loadedResourceName = NoResourceName;
    m_sstp = std::make_unique<TSstpNotifier>(m_settings.SstpSW, TaggedLog(&m_log, QString()));
    m_sounds = std::make_unique<TEventSounds>(m_settings.EventSound, m_paths.DataFolders(),
                                              TaggedLog(&m_log, QString()));
    m_sounds->ReportFailuresTo(m_dialogs, m_res);

    WriteDebugLog(QStringLiteral("Anti .NET Counter Checking"));
    m_core->CheckNetCounters();

    WriteDebugLog(QStringLiteral("Parameter Count : %1").arg(m_arguments.size() - 1));
    m_core->TargetDrive = m_targetDrive;
    if (m_targetDrive >= 0)
        m_trayTipText += QStringLiteral("\r\n(Physical Drive #%1)").arg(m_targetDrive);
    if (!m_machine->RemoteName().isEmpty())
        m_trayTipText += QStringLiteral("\r\n(%1)").arg(m_machine->RemoteName());
    WriteDebugLog(QStringLiteral("Target Physical Drive Number : %1").arg(m_targetDrive));

    switch (m_machine->System().Version().PlatformId) {
    case 1:
        m_kernelKind = Kernel9x;
        WriteDebugLog(QStringLiteral("Kernel Switch : Windows9x Base System"));
        break;
    case 2:
        m_kernelKind = KernelNT;
        WriteDebugLog(QStringLiteral("Kernel Switch : WindowsNT Base System"));
        break;
    default:
        m_kernelKind = KernelUnknown;
        WriteDebugLog(QStringLiteral("Kernel Switch : Unknown!!"));
    }
}

void TMainPForm::CreateMenuAndTimers()
{
    m_menu = new TMainMenu(this);
    ConnectMenu();
    m_mainTimer = new QTimer(this);
    connect(m_mainTimer, &QTimer::timeout, this, &TMainPForm::MainTimerTimer);
    m_pingTimer = new QTimer(this);
    m_pingProber = std::make_unique<TPingProber>(
        PingValuesOf(*m_core), m_settings, TaggedLog(&m_log, QString()),
        TPingHooks{[this](const QString& name) { SendSstpEvent(name); },
                   [this] { PlayEventSoundNo(3); },
                   [this](bool enabled) {
                       m_menu->PingP1->setEnabled(enabled);
                   }});
    connect(m_pingTimer, &QTimer::timeout, m_pingProber.get(), &TPingProber::PingTimerTimer);
    connect(m_menu->PingP1, &QAction::triggered, m_pingProber.get(), &TPingProber::PingTimerTimer);
}

QString TMainPForm::CoreModeText() const
{
    if (m_kernelKind == KernelUnknown)
        return QStringLiteral("-ERROR-");
    return (m_kernelKind == Kernel9x ? QStringLiteral("9x Core ") : QStringLiteral("NT Core ")) +
           QLatin1String(Version::CoreCodeName);
}

QString TMainPForm::SkinSystemText()
{
    return QStringLiteral("Skin System Ver.") + QLatin1String(Version::SkinCodeName);
}

void TMainPForm::LogVersions()
{
    WriteDebugLog(QStringLiteral("CoreSystem : ") + CoreModeText());
    WriteDebugLog(QStringLiteral("SkinSystem : ") + SkinSystemText());
    WriteDebugLog(QStringLiteral("Binary Version : ") + BuildText());
}

void TMainPForm::LoadSettingsAtStartup()
{
    if (WritesFiles())
        SweepUnfinishedSaves();
    WriteDebugLog(QStringLiteral("Application Setting Load"));
    SpeedRangeDialogAsker speedRanges(m_dialogs, m_paths.DataFolders(), UserDefaultLcid());
    m_settings = TSettingsFile(m_paths, m_targetDrive, m_instanceName)
                     .Load(m_dialogs, m_res, WritesFiles() ? &speedRanges : nullptr, WritesFiles());
    if (!m_sourceOverride.isEmpty())
        m_settings.Source = m_sourceOverride;
    m_settingsLoaded = true;
    move(m_settings.PosX, m_settings.PosY);
    if (m_addinSkinFlag)
        m_settings.CurrentSkinName = m_addinSkinName;
}

void TMainPForm::ShowSplashAtStartup()
{
    // Made only to be shown: a splash never shown would hold its pictures and widgets for
    // nothing.
    if (!m_settings.NoSplash && m_runMode == RunMode::Desktop) {
        m_splash = std::make_unique<TSplash>(m_paths.ReadFile(QStringLiteral("rl3.prs")),
                                             m_paths.ReadFile(QStringLiteral("rl5.prs")),
                                             m_translucentFace, !m_clientMovesHonoured);
        m_splash->SetVersionTexts(QStringLiteral("Ver.") + BuildText(), SkinSystemText(),
                                  CoreModeText());
        ShowStatus(QStringLiteral("Initilize..."));
        m_splash->CenterOnScreen();
        // Without a compositor opacity would change nothing, and fading only delay the start.
        m_splash->SetMaxAlpha(m_settings.SplashAlpha && m_translucentFace ? 160 : 255);
        if (m_translucentFace)
            SetLayeredAlpha(m_splash.get(), m_splash->MaxAlpha());
        m_splash->ShowPainted();
        if (m_kernelKind == KernelNT && m_translucentFace)
            m_splash->FadeIn();
    }
    QCoreApplication::processEvents();
}

void TMainPForm::EnterTrayAtStartup()
{
    CreateTrayIcon();
    if (m_settings.InTasktray) {
        // Into the tray as a toggle, which stays out when there is no notification area;
        // the window then goes there once one appears, and the setting is kept.
        m_settings.InTasktray = false;
        InTTClick();
        m_trayLamp->Wanted = !m_settings.InTasktray;
    }
    WatchTrayHost();
}

void TMainPForm::StartServices()
{
    ShowStatus(QStringLiteral("Threads Start...(Floating Ctrl)"));
    ShowStatus(QStringLiteral("Threads Start...(A.Active Ctrl)"));
    ResumeWindowThreads();
    setWindowTitle(m_savedTitle);

    ShowStatus(QStringLiteral("Threads Start...(SSTP Ctrl)"));
    WriteDebugLog(CheckSstpConnection() ? QStringLiteral("SSTP Status : READY")
                                        : QStringLiteral("SSTP Status : Connection Refused"));
    ShowStatus(QStringLiteral("Threads Start...(Pulsmir Local Talk)"));
    OpenLocalTalk();
}

void TMainPForm::ShowFaceAtStartup()
{
    PlaceAtStart();
    m_popupBanner = std::make_unique<TPopupBnrF>(m_paths.ReadFile(QStringLiteral("rl4.prs")));
    m_stips = std::make_unique<TSTips>();
    m_stips->setWindowTitle(TextOr(&m_res, "C0146", ProgramTitle + QStringLiteral(" Status Tips")));
}

bool TMainPForm::RunCarefulChecks()
{
    ShowStatus(QStringLiteral("System Check : Memory"));
    PauseProcessingEvents(500);
    if (m_machine->System().GlobalMemoryStatus().AvailPhys < 1024 * 1024 &&
        !m_dialogs.AskYesNo(
            DialogType::Warning,
            TextOr(&m_res, "R0636",
                   QStringLiteral("The starting check of a MEMORY is unsuccessful.\r\nContinue?"))))
        return false;

    ShowStatus(QStringLiteral("System Check : Network"));
    PauseProcessingEvents(500);
    for (int attempt = 0; attempt < 30 && !m_closeRequested; ++attempt) {
        if (CanCreateTcpSocket())
            return true;
        PauseProcessingEvents(1000);
        ShowStatus(QStringLiteral("System Check : Network(%1)").arg(attempt));
    }
    return !m_closeRequested &&
           m_dialogs.AskYesNo(
               DialogType::Warning,
               TextOr(&m_res, "R0637",
                      QStringLiteral(
                          "The starting check of a NETWORK is unsuccessful.\r\nContinue?")));
}

bool TMainPForm::CoreSystemInit()
{
    ShowStatus(QStringLiteral("SSTP initialize..."));
    LoadSstpScripts();
    m_nicList.clear();
    if (m_kernelKind == KernelNT) {
        BuildNicList();
    } else {
        WriteDebugLog(QStringLiteral("..NIC List Initialize"));
        WriteDebugLog(QStringLiteral("..<!>NIC not Found"));
    }

    return StartupSkinSelection();
}

void TMainPForm::BuildNicList()
{
    const TNicListResult nics = ::BuildNicList(
        m_machine->PerfSource(), m_settings.NTMultiNIC, m_settings.NTTargetNIC,
        [this](const QString& line) { WriteDebugLog(line); },
        [this](const QString& text) { ShowStatus(text); });
    m_nicList = nics.Names;
    m_settings.NTMultiNIC = nics.MultiNic;
    m_settings.NTTargetNIC = nics.TargetNic;
}

void TMainPForm::ApplyLanguageWords()
{
    m_dialogs.SetWords(DialogWordsOf(m_res));
    m_statusWords = StatusWordsOf(m_res);
    if (m_stips)
        m_stips->setWindowTitle(
            TextOr(&m_res, "C0146", ProgramTitle + QStringLiteral(" Status Tips")));
    if (m_qtWords)
        QCoreApplication::removeTranslator(m_qtWords.get());
    m_qtWords = QtTranslatorFor(m_res.LangCode());
    if (m_qtWords)
        QCoreApplication::installTranslator(m_qtWords.get());
}

void TMainPForm::ApplySettings()
{
    if (ReloadLanguageIfChanged(m_settings.ResourceName, m_loadedResourceName, m_res, m_log)) {
        m_menu->ApplyTexts(m_res, m_settings.SkinMode);
        ApplyLanguageWords();
        if (m_trayMenu.N4)
            ApplyTrayMenuCaptions(m_trayMenu, m_res);
        if (m_trayLamp)
            m_trayLamp->SetTip(TrayTip());
    }
    m_menu->SetOwnerDrawn(m_settings.ODMenuSW);
    m_menu->LinearOFF->setChecked(m_settings.LinearOFF);
    m_tick.ApplySettings(m_settings.PerfRate, m_settings.GraphRate, m_settings.DRange,
                         m_settings.NRange, m_settings.DRangeV, m_settings.NRangeV,
                         m_settings.LogConvSW);
    m_core->RateFactor = m_tick.RateFactor;
    ApplyTimerIntervals();
    ApplyWindowThreadMenu();
    ApplyCoreNetworkSettings();
    ApplySensors();
    if (WritesFiles()) {
        if (m_settings.RegStartup)
            CreateStartupShortcut();
        else
            RemoveStartupShortcut();
        ApplyAddinAssociation();
        ApplyProcessPriority();
    }
    ApplyWindowStyle();
}

void TMainPForm::ApplyTimerIntervals()
{
    const auto setInterval = [](QTimer* timer, int interval) {
        const bool wasActive = timer->isActive();
        timer->stop();
        timer->setInterval(interval);
        if (wasActive)
            timer->start();
    };
    setInterval(m_mainTimer, m_tick.MainTimerIntervalMs);
    setInterval(m_pingTimer, PingTimerIntervalMs(m_settings.PingRate));
}

void TMainPForm::ApplyProcessPriority()
{
    if (SetProcessHighPriority(m_settings.ProcessOverDrive))
        return;
    WriteDebugLog(m_settings.ProcessOverDrive
                      ? QStringLiteral("Process Over Drive Setting(to High) ERROR")
                      : QStringLiteral("Process Over Drive Setting(to Normal) ERROR"));
}

void TMainPForm::ApplyWindowStyle()
{
    if (m_runMode == RunMode::Headless)
        return;
    // Through the native window, so it is not made anew (which would drop its other states).
    winId();
    windowHandle()->setFlag(Qt::WindowStaysOnTopHint, m_settings.AlwaysTop);
    m_menu->AlphaSwitch->setChecked(m_settings.AlphaWindow);
    SetLayeredAlpha(this, m_settings.AlphaWindow ? 160 : 255);
    SyncThreadWindow();
    // A window hidden because the mouse was near comes back with the style.
    if (m_proximity.ProximityHidden && m_desktop && isVisible())
        m_desktop->ShowWindowNoActivate(NativeWindow(), true);
    m_proximity.ProximityHidden = false;
    // Shown again, except in the tray, which would only flash it up until the next tick.
    if (!m_startingUp && !isVisible() && !m_settings.InTasktray)
        show();
}

void TMainPForm::SetLayeredAlpha(QWidget* window, int alpha)
{
    window->setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
    if (window == this && m_checkedPlacement && m_checkedPlacement->Placement())
        m_checkedPlacement->Placement()->SetOpacity(NativeWindow(), windowOpacity());
}

void TMainPForm::SetShutdownPriority()
{
    WriteDebugLog(
        SetShutdownFirst()
            ? QStringLiteral("SetProcessShutdownParameters...SUCCESS")
            : QStringLiteral(
                  "SetProcessShutdownParameters...FAILED(In Win9x/ME, it is a normal result)"));
}

void TMainPForm::CreateStartupShortcut()
{
    const QString folder = AutostartFolder();
    try {
        WriteAutostartEntry(folder, StartupShortcutName(m_targetDrive, m_instanceName),
                            StartupShortcutEntry(m_paths, m_settings.WaitOnStartup,
                                                 m_settings.WaitTime, m_targetDrive,
                                                 m_instanceName));
        RemoveAutostartEntry(folder, OldStartupShortcutName);
    } catch (const EFileWriteError& e) {
        WriteDebugLog(QStringLiteral("[TRAP] Startup shortcut : ") +
                      QString::fromStdString(e.what()));
    }
}

void TMainPForm::RemoveStartupShortcut()
{
    RemoveAutostartEntry(AutostartFolder(), StartupShortcutName(m_targetDrive, m_instanceName));
}

void TMainPForm::ExitEClick()
{
    SendSstpEvent(ExitEventName(m_startTime.msecsTo(QDateTime::currentDateTime())), {}, true);
    RequestClose(true);
}

bool TMainPForm::LoadSstpScripts()
{
    return m_sstp->LoadSstpScripts(m_paths.ReadFile(QStringLiteral("sstp.ini")));
}

bool TMainPForm::CheckSstpConnection()
{
    return m_runMode == RunMode::Desktop && m_sstp->CheckSstpConnection();
}

void TMainPForm::OpenLocalTalk()
{
    if (m_runMode != RunMode::Desktop)
        return;
    m_localTalk = std::make_unique<TLocalTalkServer>(
        TLocalTalkSkins{m_paths.SkinFolders(), &ReadSkinName, [this] { RefreshSkinList(); },
                        [this] { return m_menu->SkinNames(); },
                        [this](const QString& caption) { SelectSkin(caption); }},
        TaggedLog(&m_log, QString()));
    m_localTalk->Open();
}

void TMainPForm::PlayEventSoundNo(int number)
{
    if (m_runMode == RunMode::Desktop)
        m_sounds->PlayEventSoundNo(number);
}

void TMainPForm::CheckSoundEvents()
{
    if (m_runMode != RunMode::Desktop)
        return;
    const TPerfCore& core = *m_core;
    m_sounds->CheckSoundEvents({core.PingLevel, core.PingTime, static_cast<int>(core.MemoryLoad),
                                static_cast<int>(core.FreeResources)});
}

void TMainPForm::ESMuteClick()
{
    m_sounds->SetMute(m_menu->ESMute->isChecked());
}

void TMainPForm::SendSstpEvent(const QString& event, const TSstpPlaceholders& placeholders,
                               bool immediate)
{
    if (m_runMode == RunMode::Desktop)
        m_sstp->SendSstpEvent(event, placeholders, immediate);
}

void TMainPForm::CloseForTermination()
{
    RequestClose(false);
}

void TMainPForm::RequestClose(bool interactive)
{
    // Boxes at the shutdown only when someone asked to close; a signal or the end of the
    // session may have nobody there to answer them.
    m_interactiveClose = m_interactiveClose && interactive;
    m_closeRequested = true;
    // Every event loop ends, the nested ones of open dialogs, boxes, menus and SSTP waits
    // first, so their callers return and finish with everything still in place. The shutdown
    // sequence runs once the outermost loop has returned (RunPulsmir); a close asked for
    // during the start-up ends it at its next check. Asked again (a signal during the
    // shutdown's own box), it ends that box too.
    QCoreApplication::exit(0);
}

void TMainPForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_opacityUnseen = true;
    // Some window managers take the state only from a mapped window; by the next turn of the
    // event loop it is mapped.
    // Qt may make the X window anew while it shows it, after this event; by the next turn of
    // the event loop the window is the one on screen.
    QTimer::singleShot(0, this, [this] {
        X11SetSkipTaskbar(NativeWindow());
        SyncThreadWindow();
        // A compositor that places a window itself when it is mapped (sway centres it).
        if (!m_clientMovesHonoured && !m_startingUp)
            MoveFace(QPoint(m_settings.PosX, m_settings.PosY));
    });
    SyncThreadWindow();
}

WId TMainPForm::NativeWindow() const
{
    return windowHandle() ? windowHandle()->winId() : winId();
}

void TMainPForm::setVisible(bool visible)
{
    if (visible && !isVisible())
        X11SetSkipTaskbar(NativeWindow());
    QWidget::setVisible(visible);
}

void TMainPForm::closeEvent(QCloseEvent* event)
{
    // The window goes with the shutdown sequence, after the event loops have ended.
    event->ignore();
    RequestClose(true);
}

void TMainPForm::FormCloseQuery()
{
    if (m_shutDown)
        return;
    m_shutDown = true;

    // The start-up may have ended at any step (a close asked for during one of its boxes):
    // what it had not made yet is skipped.
    WriteDebugLog(QStringLiteral("- Application Shutdown ---------"));
    WriteDebugLog(QStringLiteral("Application Title Set"));
    setWindowTitle(windowTitle() + QStringLiteral(" - Shutdown now..."));

    WriteDebugLog(QStringLiteral("MainTimer Terminate"));
    if (m_mainTimer)
        m_mainTimer->stop();
    WriteDebugLog(QStringLiteral("PingTimer Terminate"));
    if (m_pingTimer)
        m_pingTimer->stop();
    if (m_skinFolderWatch)
        m_skinFolderWatch->OnChange = nullptr;

    WriteDebugLog(QStringLiteral("CoreClass Stop"));
    bool stopped = !m_core;
    for (int attempt = 1; attempt <= 12 && !stopped; ++attempt) {
        stopped = m_core->StopMonitor();
        if (!stopped) {
            WriteDebugLog(QStringLiteral("CoreClass Stop Retry...(%1)").arg(attempt));
            PauseProcessingEvents(500);
        }
    }
    if (!stopped)
        WriteDebugLog(QStringLiteral("CoreClass Stop << TIMEOUT >>"));

    // Local Talk and its clients go before the save: at the descriptor limit, theirs are the
    // descriptors the save needs.
    m_localTalk.reset();

    if (m_settingsLoaded && WritesFiles()) {
        // What the tick scaled to is kept, so the next start shows the same full scales; a
        // start-up that did not finish has not run the tick.
        if (!m_startingUp) {
            m_settings.DRangeV = m_tick.DiskFullScale;
            m_settings.NRangeV = m_tick.NetFullScale;
        }
        SaveSettings(m_interactiveClose);
    }

    StopWindowThreads();
    hide();
    if (m_trayLamp)
        m_trayLamp->Show(false);
    m_stips.reset();
    m_splash.reset();
    WriteDebugLog(QStringLiteral("Release Classes Memory"));
    if (m_sstp)
        m_sstp->Shutdown();
    // The prober holds the core's values; a run still under way drops its result.
    m_pingProber.reset();
    m_core.reset();
    WriteDebugLog(QStringLiteral("Application Terminate"));
    WriteDebugLog(QStringLiteral("----------"));
}

void TMainPForm::SweepUnfinishedSaves()
{
    // Only the folders this program writes to, and only its own temporary names.
    const QStringList folders = {
        m_paths.SettingsFolder(),
        m_paths.ProgramFolder(),
        AutostartFolder(),
        QFileInfo(XdgMimeAssociation::MimePackageFile()).absolutePath(),
        QFileInfo(XdgMimeAssociation::DesktopFile()).absolutePath(),
        QFileInfo(XdgMimeAssociation::MimeAppsFile()).absolutePath(),
    };
    for (const QString& path : SweepUnfinishedWrites(folders))
        WriteDebugLog(QStringLiteral("Unfinished save removed : ") + path);
    for (const QString& path : PackageInstallJob::SweepUnfinished(m_paths.ProgramFolder()))
        WriteDebugLog(QStringLiteral("Unfinished add-in install undone : ") + path);
}

void TMainPForm::SaveSettings(bool interactive)
{
    TSettingsFile file(m_paths, m_targetDrive, m_instanceName);
    try {
        TSettings saved = m_settings;
        saved.InTasktray = m_settings.InTasktray || (m_trayLamp && m_trayLamp->Wanted);
        file.Save(saved);
        WriteDebugLog(QStringLiteral("Application Setting Saved"));
    } catch (const EFileWriteError& e) {
        WriteDebugLog(QStringLiteral("Unsuccessful to data preservation of application!"));
        const QString reason = QString::fromStdString(e.what());
        WriteDebugLog(QStringLiteral("[TRAP] Setting Save : ") + reason);
        std::fprintf(stderr, "pulsmir: settings not saved: %s\n", qUtf8Printable(reason));
        if (interactive)
            m_dialogs.Error(FillText(
                TextOr(&m_res, "R0638",
                       QStringLiteral(
                           "The settings could not be saved.\r\n%1\r\nMake the file and its "
                           "folder writable to keep your settings.")),
                {reason}));
    }
}
