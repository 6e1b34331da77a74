// The main window's face: the skin's window and surface, the sampling tick that feeds it, the
// mode switch and the pop-up menu.
#include "app/FaceOutline.h"
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "app/StatusSnapshot.h"
#include "app/WindowModes.h"
#include "core/PerfCore.h"
#include "net/PingProber.h"
#include "platform/MachineSource.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "ui/STips.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <optional>
#include <utility>

namespace {

template <class T> void CopyHistory(const std::vector<T>& from, std::vector<int>& to)
{
    to.assign(from.begin(), from.end());
}

// The window's units per skin pixel: a whole number of screen pixels each.
double FaceToWindow(const QWidget& window)
{
    const double ratio = window.devicePixelRatioF();
    return FaceScale(ratio) / ratio;
}

// Where the face is painted through Qt, its X11 backing store (without shared memory) sends
// each part of the window that is not the whole of it through a copy, in a buffer that keeps
// the size of the largest part for the life of the window (half a megabyte after a skin's
// first frame). The whole window goes from the backing store itself: an update that covers a
// good part of the window is sent whole.
QRegion SentArea(const QRegion& changed, const QRect& window)
{
    const qint64 large = qint64(window.width()) * window.height() / 8;
    for (const QRect& area : changed)
        if (qint64(area.width()) * area.height() > large)
            return window;
    return changed;
}

} // namespace

QRect TMainPForm::WorkArea() const
{
    if (m_desktop) {
        const WindowRect area = DesktopArea();
        if (area.Width() > 0 && area.Height() > 0)
            return QRect(area.Left, area.Top, area.Width(), area.Height());
    }
    // Headless runs and a desktop that cannot be asked.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->availableGeometry();
    return QRect(0, 0, 1024, 768);
}

void TMainPForm::ApplySkinWindow()
{
    const bool full = m_settings.SkinMode == 1;
    const TSkinModeRecord& mode = m_skin.Mode(full);
    int w = std::max(width(), 1);
    int h = std::max(height(), 1);
    // None: the outline the window has (its face stays as it is).
    std::optional<QRegion> region = QRegion();
    if (m_skinLoaded && !mode.Background.IsEmpty()) {
        w = mode.Background.Width();
        h = mode.Background.Height();
        const WindowOutline outline =
            BuildWindowOutline(mode.Background, mode.BgMaskFlag, mode.BgMaskColor);
        if (outline.Cell > 1)
            WriteDebugLog(QStringLiteral("<WARNING>Skin outline too intricate; it follows %1 x %1 "
                                         "pixel cells")
                              .arg(outline.Cell));
        region = ToRegion(outline.Rects);
        m_face = mode.Background.Copy(0, 0, w, h);
        // The shape stays for the input and for compositors that cut by it.
        m_shownFace.SetOutline(m_translucentFace && mode.BgMaskFlag
                                   ? MakeMask(mode.Background, mode.BgMaskColor)
                                   : Mask8());
        // The face holds the background now; the renderer needs only what lies under the
        // elements. A headless run keeps it whole for the snapshot's outline.
        if (m_runMode == RunMode::Desktop)
            m_skin.ReleaseBackground(full, TSkinRenderer::ElementAreas(mode, QSize(w, h)));
        m_renderer.Invalidate();
        m_shownFace.Sync(m_face);
        // Read again should the skin go.
        m_noSkinImg = QImage();
    } else if (m_skinLoaded && mode.BackgroundReleased && !m_face.IsEmpty()) {
        // The mode shown again (at another desktop scale, say): its face was made from the
        // background and is background wherever no element draws.
        w = m_face.Width();
        h = m_face.Height();
        region.reset();
        m_renderer.Invalidate();
        m_shownFace.Sync(m_face);
    } else {
        if (m_noSkinImg.isNull()) {
            const QString noSkinPicture = m_paths.ReadFile(QStringLiteral("rl2.prs"));
            if (QFileInfo::exists(noSkinPicture))
                m_noSkinImg = LoadPictureImage(noSkinPicture);
        }
        if (!m_noSkinImg.isNull()) {
            w = m_noSkinImg.width();
            h = m_noSkinImg.height();
            m_face = Bitmap24();
            m_shownFace.Reset();
        }
    }

    if (m_runMode == RunMode::Headless)
        return;
    // The edges the window touches are those of its old size: setFixedSize changes width()
    // and height() at once, and a window docked right or bottom would come loose.
    const ScreenRect before{x(), y(), x() + width(), y() + height()};
    const double scale = FaceToWindow(*this);
    setFixedSize(int(std::ceil(w * scale)), int(std::ceil(h * scale)));
    if (!m_outline)
        m_outline = new TFaceOutline(*this);
    if (region)
        m_outline->Set(*region, FaceScale(devicePixelRatioF()));
    else
        m_outline->Rescale(FaceScale(devicePixelRatioF()));
    ApplyWindowStyle();

    const QRect work = WorkArea();
    const ScreenRect placed = PlaceSkinWindow(
        before, width(), height(), {work.left(), work.top(), work.right() + 1, work.bottom() + 1});
    MoveFace(QPoint(placed.Left, placed.Top));
    m_settings.PosX = placed.Left;
    m_settings.PosY = placed.Top;
    update();
}

void TMainPForm::paintEvent(QPaintEvent* event)
{
    // mutter on Wayland applies a window's opacity only once the window's surface reached it,
    // which is a while after the first picture shows and later still under load; until then
    // the face is opaque there. Once shown, the opacity is stated again a few times.
    if (std::exchange(m_opacityUnseen, false) && windowOpacity() < 1.0)
        for (const int delay : {0, 250, 1000, 3000})
            QTimer::singleShot(delay, this, [this] {
                const double opacity = windowOpacity();
                if (opacity >= 1.0 || !isVisible())
                    return;
                setWindowOpacity(1.0);
                setWindowOpacity(opacity);
            });
    if (!m_face.IsEmpty()) {
        if (!m_shownFace.InStepWith(m_face))
            m_shownFace.Sync(m_face);
        m_facePainter.Paint(
            event->region(), QSize(m_face.Width(), m_face.Height()),
            [this](const QRect& area) { return m_shownFace.Picture(m_face, area); },
            m_translucentFace);
        return;
    }
    const QImage::Format format =
        m_translucentFace ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!m_noSkinImg.isNull()) {
        m_facePainter.Paint(
            event->region(), m_noSkinImg.size(),
            [this, format](const QRect& area) {
                return m_noSkinImg.copy(area).convertToFormat(format);
            },
            m_translucentFace);
        return;
    }
    const double scale = FaceToWindow(*this);
    m_facePainter.Paint(
        event->region(), QSize(int(std::ceil(width() / scale)), int(std::ceil(height() / scale))),
        [format](const QRect& area) {
            QImage black(area.size(), format);
            black.fill(Qt::black);
            return black;
        },
        m_translucentFace);
}

QPaintEngine* TMainPForm::paintEngine() const
{
    return m_facePainter.OnScreen() ? nullptr : QWidget::paintEngine();
}

void TMainPForm::FillRenderInputs()
{
    const TPerfCore& core = *m_core;
    SkinRenderInputs& in = m_inputs;
    in.FullMode = m_settings.SkinMode == 1;
    in.CpuUsage.resize(core.CpuUsage.size());
    for (size_t i = 0; i < core.CpuUsage.size(); ++i)
        in.CpuUsage[i] = static_cast<std::uint32_t>(std::max(core.CpuUsage[i], 0));
    in.MemoryLoad = static_cast<int>(core.MemoryLoad);
    in.SwapLoad = static_cast<int>(core.SwapLoad);
    in.FreeResources = core.FreeResources;
    in.IsNT = m_kernelKind == KernelNT;
    in.DiskReadActive = core.DiskReadActive;
    in.DiskWriteActive = core.DiskWriteActive;
    in.DiskActive = core.DiskActive;
    in.NetXactActive = core.NetXactActive;
    in.NetRecvActive = core.NetRecvActive;
    in.NetSendActive = core.NetSendActive;
    in.NetActive = core.NetActive;
    in.PingLevel = core.PingLevel;
    in.PingTime = core.PingTime;
    in.Pinging = m_pingProber->Pinging();
    in.DiskReadPos = m_tick.DiskReadPos;
    in.DiskWritePos = m_tick.DiskWritePos;
    in.NetRecvPos = m_tick.NetRecvPos;
    in.NetSendPos = m_tick.NetSendPos;
    in.CpuCount = core.CpuCount;
    FillSensorInputs();
    in.NTMultiCPU = m_settings.NTMultiCPU;
    in.LinearOFF = m_settings.LinearOFF;
    in.HistoryStamp = m_tick.HistoryGeneration;
    // Only the full mode draws graphs, and the histories change only with their stamp.
    if (in.FullMode && m_inputHistoryStamp != in.HistoryStamp) {
        m_inputHistoryStamp = in.HistoryStamp;
        in.CpuHistory.resize(core.CpuHistory.size());
        for (size_t i = 0; i < core.CpuHistory.size(); ++i)
            CopyHistory(core.CpuHistory[i].Data, in.CpuHistory[i]);
        CopyHistory(core.MemHistory.Data, in.MemHistory);
        CopyHistory(core.SwapHistory.Data, in.SwapHistory);
        CopyHistory(core.DiskReadHistory.Data, in.DiskReadHistory);
        CopyHistory(core.DiskWriteHistory.Data, in.DiskWriteHistory);
        CopyHistory(core.NetRecvHistory.Data, in.NetRecvHistory);
        CopyHistory(core.NetSendHistory.Data, in.NetSendHistory);
        CopyHistory(core.TempHistory.Data, in.TempHistory);
        CopyHistory(core.BatteryHistory.Data, in.BatteryHistory);
        CopyHistory(core.GpuHistory.Data, in.GpuHistory);
        CopyHistory(core.GpuMemHistory.Data, in.GpuMemHistory);
    }
}

void TMainPForm::RenderFace()
{
    if (!m_skinLoaded || m_face.IsEmpty())
        return;
    FillRenderInputs();
    const std::vector<QRect>& redrawn = m_renderer.RenderSkin(m_skin, m_inputs, m_face);
    // Only what changed is converted and sent to the screen.
    if (m_runMode == RunMode::Desktop && !redrawn.empty()) {
        const QRegion changed = m_shownFace.Sync(m_face, redrawn);
        // Painted now rather than from a posted request: the tick is the only painter, and
        // a request would cost the event loop another wake-up.
        if (!changed.isEmpty()) {
            const QRegion area = ScaleRegion(changed, FaceToWindow(*this));
            repaint(m_facePainter.OnScreen() ? area : SentArea(area, rect()));
        }
    }
}

void TMainPForm::MainTimerTimer()
{
    if (!m_tickIdle)
        return;
    m_tickIdle = false;

    TakeSensorReadings();
    if (!m_core->CollectSample()) {
        RestartCoreAfterFailedSample();
    } else if (m_kernelKind == KernelNT ||
               (m_kernelKind == Kernel9x && m_core->FreeResources >= 10)) {
        // Another machine's processors become known, or change, when it answers.
        if (m_tick.CpuPeak.size() != m_core->CpuUsage.size())
            ResizeHistories();
        try {
            TickSample sample = TickSample::Of(*m_core);
            sample.TempPos = TempPosition();
            sample.BatteryPercent = m_sensorValues.BatteryPercent.value_or(0);
            sample.GpuLoad = std::max(m_inputs.GpuLoad, 0);
            sample.GpuMemoryLoad = std::max(m_inputs.GpuMemoryLoad, 0);
            m_tick.ComputeDisplayValues(sample);
        } catch (const std::exception& e) {
            WriteDebugLog(
                QStringLiteral("[TRAP] GrpBuffer ERROR : \"%1\"").arg(QString::fromUtf8(e.what())));
        }
        if (m_runMode == RunMode::Desktop)
            UpdateTips();
        if (m_tick.CountGraphTick()) {
            UpdateStatusSnapshot();
            try {
                m_tick.GraphStep(TickHistories::Of(*m_core));
            } catch (const std::exception& e) {
                WriteDebugLog(QStringLiteral("[TRAP] GrpShift ERROR!"));
                WriteDebugLog(QStringLiteral("{TRAP] \"%1\"").arg(QString::fromUtf8(e.what())));
            }
        }
        if (m_settings.InTasktray)
            TrayUpdate();
        else
            RenderFace();
    }

    if (m_tick.CountSecondTick())
        CheckSoundEvents();
    if (m_tick.SecondCounter % 2 == 0 && m_runMode == RunMode::Desktop)
        ProximityCheck();
    m_tickIdle = true;
}

void TMainPForm::RestartCoreAfterFailedSample()
{
    WriteDebugLog(QStringLiteral("<WARNING>PerfGet FAILUE!"));
    WriteDebugLog(QStringLiteral("<WARNING> Try Perf.Core Restarting"));
    if (!m_core->StopMonitor()) {
        WriteDebugLog(QStringLiteral("<WARNING> Perf.Stop ERROR!"));
        return;
    }
    WriteDebugLog(QStringLiteral("<WARNING> Perf.Stop Success!"));
    WriteDebugLog(m_core->StartMonitor() ? QStringLiteral("<WARNING> Perf.Restart Success!")
                                         : QStringLiteral("<WARNING> Perf.Start ERROR!"));
}

StatusValues TMainPForm::CurrentStatus() const
{
    const TPerfCore& core = *m_core;
    StatusValues values;
    values.CpuUsage = core.CpuUsage.empty() ? 0 : core.CpuUsage[0];
    values.MemoryLoad = static_cast<int>(core.MemoryLoad);
    values.SwapLoad = static_cast<int>(core.SwapLoad);
    values.DiskBytes = core.DiskReadBytes + core.DiskWriteBytes;
    values.NetBytes = core.NetRecvBytes + core.NetSendBytes;
    values.TargetDrive = m_targetDrive;
    values.Pinging = m_pingProber->Pinging();
    values.PingTime = core.PingTime;
    values.PingHost = m_pingProber->PingTarget();
    values.Sensors = m_sensorValues;
    values.PingFailure = m_pingProber->Failure();
    // The busiest processes are this machine's.
    if (m_processes && m_machine->RemoteName().isEmpty())
        values.Processes = m_processes->Latest();
    values.Machine = m_machine->RemoteName();
    values.MachineFailure = m_machine->Failure();
    values.MachineWithoutData = m_machine->InputsWithoutData();
    values.MachineHasNoData = m_machine->NoInputHasData();
    return values;
}

void TMainPForm::UpdateStatusSnapshot()
{
    const QString text = BuildStatusSnapshot(CurrentStatus(), QLocale::system(), m_statusWords);
    if (text != m_statusText)
        m_statusText = text;
    // Laying out the label is costly; a hidden tip takes the text when it is shown.
    if (m_stips && m_stips->isVisible())
        m_stips->SetTipText(m_statusText);
}

void TMainPForm::ModeChange(bool byUser)
{
    const TModeChange change =
        SkinModeChange(m_settings.SkinMode, m_skin.Compact.Enable, m_skin.Full.Enable, byUser);
    // The last line is written once the change is done.
    for (qsizetype i = 0; i + 1 < change.LogLines.size(); ++i)
        WriteDebugLog(change.LogLines[i]);
    // The pictures of the mode not shown went with the last change; a skin that can no longer
    // be read keeps the mode it shows.
    if (change.Changed && !TakeModePictures(change.SkinMode == 1))
        return;
    if (change.Changed) {
        m_settings.SkinMode = change.SkinMode;
        ApplySkinWindow();
        RenderFace();
        // The new mode has its own floating anchor and may not float at all.
        ApplySkinFloat();
    }
    m_menu->SetModeCaption(m_res, m_settings.SkinMode);
    if (!change.SstpEvent.isEmpty())
        SendSstpEvent(change.SstpEvent);
    if (!change.LogLines.isEmpty())
        WriteDebugLog(change.LogLines.back());
}

void TMainPForm::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->RPopup()->popup(event->globalPos());
}

void TMainPForm::ConnectMenu()
{
    connect(m_menu->mCMode, &QAction::triggered, this, [this] { ModeChange(true); });
    connect(m_menu->LinearOFF, &QAction::toggled, this,
            [this](bool on) { m_settings.LinearOFF = on; });
    connect(m_menu->N2, &QAction::triggered, this, &TMainPForm::ShowSkinInformation);
    connect(m_menu->MListRef, &QAction::triggered, this, &TMainPForm::RefreshSkinList);
    connect(m_menu->ExitE, &QAction::triggered, this, &TMainPForm::ExitEClick);
    connect(m_menu->ESMute, &QAction::triggered, this, &TMainPForm::ESMuteClick);
    connect(m_menu, &TMainMenu::SkinChosen, this, &TMainPForm::SelectSkin);
    ConnectWindowMenu();
    connect(m_menu->OptionV, &QAction::triggered, this, &TMainPForm::OptionVClick);
}

void TMainPForm::StopTimers()
{
    m_mainTimer->stop();
    m_pingTimer->stop();
}

void TMainPForm::SetFullMode(bool full)
{
    if (full != (m_settings.SkinMode == 1))
        ModeChange(false);
}
