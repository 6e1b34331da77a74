// The main window's skins: the catalogue in the skin menu, the switch between skins and the
// choice of a skin at start-up.
#include "app/FltCtrl.h"
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "core/PerfCore.h"
#include "core/PerfMonitor.h"
#include "net/PingProber.h"
#include "platform/Dialogs.h"
#include "platform/MachineSource.h"
#include "platform/ProcessControl.h"
#include "skin/SkinBanner.h"
#include "ui/PopupBanner.h"
#include "ui/SkinBannerForm.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

void TMainPForm::RefreshSkinList()
{
    m_skinList = ListSkins(m_paths.SkinFolders(),
                           m_kernelKind == Kernel9x ? SkinPlatform::Win9x : SkinPlatform::NT,
                           &m_skinDefinitions, ScreenSize());
    m_menu->SetSkinItems(m_skinList, m_settings.CurrentSkinName);
}

void TMainPForm::SelectSkin(const QString& name)
{
    if (!ChangeSkin(name)) {
        m_dialogs.Error(QStringLiteral("Load Error : ") + name);
        SendSstpEvent(QStringLiteral("NoSkinA"), {name, {}});
    } else {
        m_menu->CheckSkin(name);
        m_settings.CurrentSkinName = name;
        SendSstpEvent(QStringLiteral("ChangeSkin"), {m_settings.CurrentSkinName, {}});
    }
    ApplySettings();
}

void TMainPForm::ResizeHistories()
{
    TPerfCore& core = *m_core;
    const std::array<int, GraphCount> depths = HistoryDepths(m_skin);
    for (TPerfHistory& history : core.CpuHistory)
        history.Resize(depths[GraphCPU]);
    core.MemHistory.Resize(depths[GraphMEM]);
    core.SwapHistory.Resize(depths[GraphSwap]);
    core.DiskReadHistory.Resize(depths[GraphDiskR]);
    core.DiskWriteHistory.Resize(depths[GraphDiskW]);
    core.NetRecvHistory.Resize(depths[GraphNetI]);
    core.NetSendHistory.Resize(depths[GraphNetO]);
    core.TempHistory.Resize(depths[GraphTemp]);
    core.BatteryHistory.Resize(depths[GraphBatt]);
    core.GpuHistory.Resize(depths[GraphGpu]);
    core.GpuMemHistory.Resize(depths[GraphGpuMem]);
    m_tick.ResetForSkin(core.CpuCount);
    WriteDebugLog(QStringLiteral("History Buffer Resize SUCCESSFUL"));
}

bool TMainPForm::TakeModePictures(bool fullMode)
{
    if (m_skin.HasPictures(fullMode))
        return true;
    const std::array<int, GraphCount> depths = HistoryDepths(m_skin);
    m_skin.MaxWindowSize = ScreenSize();
    if (!m_skin.ReloadForMode(fullMode)) {
        WriteDebugLog(QStringLiteral("Skin '") + m_settings.CurrentSkinName +
                      QStringLiteral("' not loaded"));
        return false;
    }
    ReturnFreedMemory();
    // A skin edited since it was loaded may keep histories of other lengths.
    if (HistoryDepths(m_skin) != depths)
        ResizeHistories();
    return true;
}

bool TMainPForm::ChangeSkin(const QString& name)
{
    const QString path = FindSkinPath(m_skinList, name);
    const SkinPlatform platform = m_kernelKind == Kernel9x ? SkinPlatform::Win9x : SkinPlatform::NT;
    if (path.isEmpty() || !TSkinSystem::ValidateSkin(path, platform)) {
        WriteDebugLog(QStringLiteral("Skin \"") + name + QStringLiteral("\" is not available."));
        return false;
    }

    // Read before anything is paused: a skin refused for a limit leaves the current skin
    // showing and running as it was.
    WriteDebugLog(QStringLiteral("Skin '") + name + QStringLiteral("' Loading"));
    m_skin.MaxWindowSize = ScreenSize();
    if (!m_skin.LoadSkin(path)) {
        WriteDebugLog(QStringLiteral("Skin '") + name + QStringLiteral("' not loaded"));
        return false;
    }
    m_skinLoaded = true;

    WriteDebugLog(QStringLiteral("Skin System Pause"));
    const bool mainTimerWasOn = m_mainTimer->isActive();
    const bool pingTimerWasOn = m_pingTimer->isActive();
    m_mainTimer->stop();
    m_pingTimer->stop();

    // At start-up the window was mapped a moment ago and shows nothing yet; unmapping it again
    // before the window manager has taken it can leave it withdrawn for good.
    const bool wasVisible = isVisible() && !m_startingUp;
    if (wasVisible)
        hide();
    const bool coreWasStarted = m_core->Started();
    if (coreWasStarted)
        m_core->StopMonitor();

    // The window has no anchor while the skin changes under it.
    if (m_fltCtrl)
        m_fltCtrl->Active = false;
    ShowSkinBannerFor(path);
    m_settings.SkinMode = FixUpFullMode(m_settings.SkinMode == 1, m_skin) ? 1 : 0;
    m_skin.ReleasePictures(m_settings.SkinMode != 1);
    // What the old skin and the mode not shown held, at once.
    ReturnFreedMemory();
    m_menu->SetModeCaption(m_res, m_settings.SkinMode);
    m_menu->mCMode->setEnabled(m_skin.Compact.Enable && m_skin.Full.Enable);

    ResizeHistories();

    bool result = true;
    // The core starts with the first skin, which may come only after start-up (an empty skin
    // folder at first).
    if (m_startingUp || !m_coreInitialized) {
        m_coreInitialized = true;
        WriteDebugLog(QStringLiteral("CoreClass Initialize(First Time)"));
        if (!m_core->StartMonitor()) {
            m_dialogs.Error(m_res.GetText(QStringLiteral("R0608")));
            result = false;
            m_coreError = m_res.GetText(QStringLiteral("R0609"));
        }
    } else if (coreWasStarted) {
        m_core->StartMonitor();
        WriteDebugLog(QStringLiteral("Skin System Restart"));
    }
    if (!m_startingUp)
        PlayEventSoundNo(5);

    m_renderer.ResetMeterPositions();
    WriteDebugLog(QStringLiteral("Skin '") + name + QStringLiteral("' Loaded...Complete"));

    if (wasVisible && !m_settings.InTasktray)
        show();
    ApplySettings();
    ApplySkinWindow();
    RenderFace();
    ApplySkinFloat();

    if (mainTimerWasOn)
        m_mainTimer->start();
    if (pingTimerWasOn)
        m_pingTimer->start();
    return result;
}

void TMainPForm::ShowSkinBannerFor(const QString& definitionFile)
{
    Bitmap24 banner;
    if (!m_settings.ShowSkinBanner || !m_popupBanner || !LoadSkinBanner(definitionFile, banner))
        return;
    const QSize size(TPopupBnrF::ClientWidth, TPopupBnrF::ClientHeight);
    const WindowRect area = DesktopArea();
    const QRect workArea(area.Left, area.Top, area.Right - area.Left, area.Bottom - area.Top);
    const QSize screenSize = screen() ? screen()->geometry().size() : workArea.size();
    m_popupBanner->ShowBanner(banner, BannerPosition(m_settings.LogoPosition, size, workArea, screenSize));
}

QString TMainPForm::LoadSubstituteSkin(const QString& configured)
{
    // The listed skins in menu order, until one loads; each is loaded twice, as a skin
    // substituted at start-up always was.
    for (const SkinListEntry& entry : SkinList(m_skinList)) {
        if (entry.Name.compare(configured, Qt::CaseInsensitive) == 0)
            continue;
        m_menu->CheckSkin(entry.Name);
        if (ChangeSkin(entry.Name) && ChangeSkin(entry.Name))
            return entry.Name;
    }
    return {};
}

bool TMainPForm::StartupSkinSelection()
{
    ShowStatus(QStringLiteral("Skin List Updating..."));
    WriteDebugLog(QStringLiteral("..Skin List Initialize"));
    RefreshSkinList();
    WriteDebugLog(QStringLiteral("..Default Skin Load"));
    ShowStatus(QStringLiteral("'") + m_settings.CurrentSkinName + QStringLiteral("' Loading"));

    // A failure here is told in one box of its own, which says that the program runs on
    // without a skin; the start-up goes on as after any other skin.
    const QString configured = m_settings.CurrentSkinName;
    if (!ChangeSkin(configured)) {
        const QString substitute = LoadSubstituteSkin(configured);
        if (m_skinList.empty()) {
            m_dialogs.Warning(m_res.GetText(QStringLiteral("R0606")));
            m_settings.CurrentSkinName.clear();
        } else if (substitute.isEmpty()) {
            m_dialogs.Warning(m_res.GetText(QStringLiteral("R0602")));
            m_settings.CurrentSkinName.clear();
        } else {
            m_settings.CurrentSkinName = substitute;
            m_dialogs.Information(m_res.GetText(QStringLiteral("R0603")));
            SendSstpEvent(QStringLiteral("NoSkinB"), {configured, substitute});
        }
    }

    ShowStatus(QStringLiteral("Pulsmir Stand-by."));
    ApplySettings();
    ApplySkinWindow();
    return m_coreError.isEmpty();
}

void TMainPForm::ShowSkinInformation()
{
    QStringList lines = SkinInformationLines(m_skin, m_res);
    if (!m_machine->RemoteName().isEmpty())
        lines << QStringLiteral("------------------------------")
              << m_statusWords.Machine + QStringLiteral(" : ") + m_machine->RemoteName();
    if (m_kernelKind == KernelNT) {
        const TPerfCore& core = *m_core;
        const auto mark = [&](TPerfCore::Counter counter) {
            return core.ItemIndex(counter) >= 0 ? QStringLiteral("O") : QStringLiteral("X");
        };
        QString processor = mark(TPerfCore::ProcessorItem);
        if (processor == QLatin1String("X") && core.CpuFromNtdll())
            processor = QStringLiteral("O(ntdll.dll)");
        const auto label = [&](const char* code, const char* builtIn) {
            return TextOr(&m_res, code, QLatin1String(builtIn)) + u' ';
        };
        lines << QStringLiteral("------------------------------")
              << m_res.GetText(QStringLiteral("R0623"))
              << label("C0407", "Processor Time     :") + processor
              << label("C0408", "Disk Read Bytes    :") + mark(TPerfCore::DiskReadItem)
              << label("C0409", "Disk Write Bytes   :") + mark(TPerfCore::DiskWriteItem)
              << label("C0410", "NIC Bytes Received :") + mark(TPerfCore::NetRecvItem)
              << label("C0411", "NIC Bytes Sent     :") + mark(TPerfCore::NetSendItem);
    }
    if (!m_pingProber->Failure().isEmpty())
        lines << QStringLiteral("------------------------------")
              << TextOr(&m_res, "C0412", QStringLiteral("Ping :")) + u' ' + m_pingProber->Failure();
    if (const QStringList missing = MissingSensorLines(m_sensorValues, m_statusWords);
        !missing.isEmpty())
        lines << QStringLiteral("------------------------------") << missing;
    TSkinBannerForm dialog(m_paths.ReadFile(QStringLiteral("rl4.prs")), this);
    dialog.setWindowTitle(m_res.GetText(QStringLiteral("C0400")));
    dialog.BnImg->setToolTip(m_res.GetText(QStringLiteral("C0401")));
    Bitmap24 banner;
    if (LoadSkinBanner(FindSkinPath(m_skinList, m_settings.CurrentSkinName), banner))
        dialog.SetBanner(banner);
    dialog.SetLines(lines);
    dialog.Center();
    dialog.exec();
}
