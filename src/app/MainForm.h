#pragma once

#include "app/FacePainter.h"
#include "app/LogScaleTable.h"
#include "app/SamplingTick.h"
#include "app/StatusSnapshot.h"
#include "app/WindowBehaviour.h"
#include "core/ProcessSampler.h"
#include "core/SensorSampler.h"
#include "log/DebugLog.h"
#include "net/SstpNotifier.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "settings/Settings.h"
#include "skin/Bitmap24.h"
#include "skin/SkinCatalogue.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "skin/SurfaceSync.h"
#include "ui/TrayMenu.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QStringList>
#include <QTranslator>
#include <QWidget>
#include <memory>

class TCheckedPlacement;
class TFaceOutline;
class X11Desktop;
class TAActiveCtrl;
class TFltCtrl;
class TSTips;
class TTrayLamp;
class TWindowHandOff;
class MachineSource;
class QTimer;
class TMainMenu;
class TPerfCore;
class TPingProber;
class TSplash;
class TEventSounds;
class TPopupBnrF;
class TLocalTalkServer;
class TDirectoryWatcher;
class TSensorSampler;
class TTextValueFeed;

// The main window. It owns the program's objects for the whole run, runs the start-up sequence
// when created and the shutdown sequence when closed, puts the settings into effect, samples
// on its timer and shows the skin's face.
class TMainPForm : public QWidget
{
    Q_OBJECT

public:
    enum KernelKinds
    {
        Kernel9x = 0,
        KernelNT = 1,
        KernelUnknown = 99
    };
    // Headless runs (status and snapshot) show no window and write nothing: no log, no
    // settings, no autostart entry.
    enum class RunMode
    {
        Desktop,
        Headless
    };

    TMainPForm(const AppPaths& paths, Dialogs& dialogs, QStringList arguments,
               RunMode runMode = RunMode::Desktop);
    ~TMainPForm() override;

    // Set by the entry before the start-up sequence, when a skin add-in came on the command line.
    void SetAddinSkin(bool installed, const QString& skinName);

    // The start-up sequence. False when the program must end instead of running: the start
    // was aborted (StartAborted) or a close was asked for during it.
    bool FormCreate();
    // The exit menu items: send the exit event, then close.
    void ExitEClick();
    // Closing when the process is told to end (signal, end of session): the same as the Exit
    // items, without boxes that nobody may be there to answer.
    void CloseForTermination();
    // The shutdown sequence, once, after every event loop has ended (every close only asks for
    // it); safe whatever step the start-up reached.
    void FormCloseQuery();

    bool CoreSystemInit();
    void ApplySettings();
    // The words outside the menus in the open language: boxes, status tip, Qt's own.
    void ApplyLanguageWords();
    void WriteDebugLog(const QString& text) { m_log.Write(text); }
    void SetShutdownPriority();
    void CreateStartupShortcut();
    void RemoveStartupShortcut();
    void SetLayeredAlpha(QWidget* window, int alpha);

    // The sampling tick; runs on MainTimer.
    void MainTimerTimer();
    // Switches to a skin of the list by name; false leaves the previous skin in place.
    bool ChangeSkin(const QString& name);
    void RefreshSkinList();
    void ModeChange(bool byUser);
    // For headless runs, which drive the tick themselves.
    void StopTimers();
    void SetFullMode(bool full);
    // The figures come from this address instead of the settings' source (before FormCreate).
    void SetSource(const QString& address) { m_sourceOverride = address; }

    const TSettings& Settings() const { return m_settings; }
    bool StartAborted() const { return m_startAborted; }
    bool StartingUp() const { return m_startingUp; }
    int TargetDrive() const { return m_targetDrive; }
    TPerfCore& Core() { return *m_core; }
    const Bitmap24& FaceImg() const { return m_face; }
    const TSkinModeRecord& ShownSkinMode() const { return m_skin.Mode(m_settings.SkinMode == 1); }
    const QString& StatusText() const { return m_statusText; }
    int MainTimerInterval() const { return m_tick.MainTimerIntervalMs; }
    // What the status snapshot shows now.
    StatusValues CurrentStatus() const;
    // The busiest processes: sampled only while the status tip or a status run shows them.
    TProcessSampler& Processes();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QPaintEngine* paintEngine() const override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowStatus(const QString& text);
    // The steps of the start-up sequence, in their order.
    void CreateMeasurement();
    void CreateMenuAndTimers();
    void LogVersions();
    void LoadSettingsAtStartup();
    void ShowSplashAtStartup();
    void EnterTrayAtStartup();
    void StartServices();
    void ShowFaceAtStartup();
    QString CoreModeText() const;
    static QString SkinSystemText();
    bool RunCarefulChecks();
    // The one way out: the Exit items, the window's close, signals and the end of the session.
    void RequestClose(bool interactive);
    void SaveSettings(bool interactive);
    // Temporary files of a save that was killed before it finished.
    void SweepUnfinishedSaves();
    void ApplyTimerIntervals();
    void ApplyWindowStyle();
    void ApplyProcessPriority();
    void BuildNicList();
    void ConnectMenu();
    bool WritesFiles() const { return m_runMode == RunMode::Desktop; }
    // The X window that shows the face now. Qt makes a new one when a stay-on-top change takes
    // effect, and winId() keeps naming the old one.
    WId NativeWindow() const;

    // The face: the skin's window, its surface and the values a frame is drawn from.
    void ApplySkinWindow();
    void RenderFace();
    void FillRenderInputs();
    QRect WorkArea() const;
    // The whole screen, which no skin window may exceed; empty when nothing can tell.
    QSize ScreenSize() const;
    void RestartCoreAfterFailedSample();
    void UpdateStatusSnapshot();

    // Skins: the catalogue, the switch and the start-up choice.
    bool StartupSkinSelection();
    // The name of the first listed skin other than the configured one that loads; empty if none.
    QString LoadSubstituteSkin(const QString& configured);
    void SelectSkin(const QString& name);
    void ShowSkinInformation();
    // The pop-up with the skin's banner, when the setting asks for it.
    void ShowSkinBannerFor(const QString& definitionFile);
    void ResizeHistories();
    // Brings back the pictures of a mode about to be shown; false when the skin no longer loads.
    bool TakeModePictures(bool fullMode);
    // Sensors: read only for a skin that shows them, off the window's thread.
    void ApplySensors();
    TSensorSampler& Sensors();
    void TakeSensorReadings();
    int TempPosition() const;
    void FillSensorInputs();
    // Samples the busiest processes while something shows them, and only then.
    void ApplyProcesses();

    // The window as a window: threads, dragging, tips, hiding near the mouse, translucency.
    class HandOff;
    void CreateWindowThreads();
    void ResumeWindowThreads();
    void StopWindowThreads();
    void SyncThreadWindow();
    void ApplyWindowThreadMenu();
    bool SkinAllowsFloat() const;
    void ApplySkinFloat();
    void FaceMouseDown(QMouseEvent* event);
    void FloatMoveWindow(QPoint topLeft);
    void SetTrayMode(bool inTray);
    void AutoModeTo(bool full);
    void AutoModeSwitch();
    void AlphaSwitchClick();
    void MFltSwitchClick();
    void MFltAniSwitchClick();
    void UpdateTips();
    void HideStatusTip();
    void ProximityCheck();
    void HelpClick();
    void ConnectWindowMenu();

    // Placement: where the window really is, and moves that reach it on every desktop.
    void SetupPlacement();
    // Places the window where it stays, then shows it (unless in the tray).
    void PlaceAtStart();
    // Brings the window back from a monitor that has gone.
    void BackOnAMonitor();
    void MoveFace(QPoint topLeft);
    QPoint RealTopLeft() const;
    void FloatRefused(QPoint at);
    std::uint32_t TickCount() const;
    WindowRect DesktopArea() const;

    // The tray: icon, its menu, the icons and their editor.
    void CreateTrayIcon();
    void ConnectTrayMenu();
    void InTTClick();
    // Whether a notification area exists: the tray item follows it, and a tray the settings
    // ask for is entered once one appears.
    void WatchTrayHost();
    // The tray icon's tip in the open language, with the watched drive.
    QString TrayTip() const;
    void TrayUpdate();
    void LoadIcons();
    void IcnEditClick();
    // A second start asked for the window: out of the tray, shown and in front.
    void ComeForward();

    // SSTP: the events of the window, sent through the notifier in desktop runs only.
    bool CheckSstpConnection();
    bool LoadSstpScripts();
    void SendSstpEvent(const QString& event, const TSstpPlaceholders& placeholders = {},
                       bool immediate = false);

    // Event sounds, played in desktop runs only.
    void PlayEventSoundNo(int number);
    void CheckSoundEvents();
    void ESMuteClick();

    void OpenLocalTalk();

    // The options dialog, and the network settings the core takes from it.
    void OptionVClick();
    void ApplyCoreNetworkSettings();

    // Add-ins: the skin folder watch, the ".pma" file type and packages dropped on the window.
    void CreateSkinFolderWatch();
    void SknFldMonChange();
    void ApplyAddinAssociation();
    void DropDst1FileDrop(const QStringList& files);

    AppPaths m_paths;
    Dialogs& m_dialogs;
    QStringList m_arguments;
    RunMode m_runMode;
    DebugLog m_log;
    TMRes m_res;
    TSettings m_settings;

    bool m_addinSkinFlag = false;
    QString m_addinSkinName;
    int m_targetDrive = -1;
    QString m_instanceName;
    QDateTime m_startTime;
    bool m_startingUp = false;
    bool m_startAborted = false;
    bool m_closeRequested = false;
    bool m_settingsLoaded = false;
    bool m_shutDown = false;
    bool m_interactiveClose = true;
    int m_kernelKind = KernelUnknown;
    QString m_coreError;
    bool m_optionsOpen = false;
    QString m_savedTitle;
    QString m_loadedResourceName;
    QString m_trayTipText;
    QStringList m_nicList;
    QImage m_noSkinImg;

    std::unique_ptr<MachineSource> m_machine;
    QString m_sourceOverride;
    std::unique_ptr<TPerfCore> m_core;
    std::unique_ptr<TPingProber> m_pingProber;
    std::unique_ptr<TSstpNotifier> m_sstp;
    std::unique_ptr<TEventSounds> m_sounds;
    std::unique_ptr<TLocalTalkServer> m_localTalk;
    std::unique_ptr<TDirectoryWatcher> m_skinFolderWatch;
    std::unique_ptr<TSensorSampler> m_sensors;
    SensorReadings m_sensorValues; // what the tick shows
    std::uint64_t m_sensorGeneration = 0;
    std::unique_ptr<TProcessSampler> m_processes;
    std::unique_ptr<TTextValueFeed> m_textValues;
    RepeatedFailure m_addinTypeFailure;
    TSkinSystem m_skin;
    TSkinRenderer m_renderer;
    SkinList m_skinList;
    SkinDefinitionCache m_skinDefinitions;
    bool m_skinLoaded = false;
    // The core was started once, with the first skin loaded.
    bool m_coreInitialized = false;
    Bitmap24 m_face;
    TFaceOutline* m_outline = nullptr; // made with the first face shown
    SurfaceSync m_shownFace;
    TFacePainter m_facePainter;
    SkinRenderInputs m_inputs;
    std::uint64_t m_inputHistoryStamp = 0; // the stamp of the histories copied into m_inputs
    TSamplingTick m_tick;
    bool m_tickIdle = true;
    QString m_statusText;
    StatusWords m_statusWords;
    std::unique_ptr<QTranslator> m_qtWords;

    TMainMenu* m_menu = nullptr;
    QTimer* m_mainTimer = nullptr;
    QTimer* m_pingTimer = nullptr;
    std::unique_ptr<TSplash> m_splash;

    std::unique_ptr<X11Desktop> m_desktop;
    bool m_clientMovesHonoured = true;
    // Moves made and checked where the compositor ignores the window's own; desktop runs only.
    TCheckedPlacement* m_checkedPlacement = nullptr;
    // A drag carried out by the window manager's own move.
    bool m_systemMoveDrag = false;
    // Shown, and its opacity not yet stated to the compositor again.
    bool m_opacityUnseen = false;
    // Cut-outs transparent in the picture too: a compositor blends the window.
    bool m_translucentFace = false;
    TWindowDrag m_drag;
    QPoint m_dragWindowPos;
    TStatusTips m_tips;
    TProximityHiding m_proximity;
    QElapsedTimer m_tickClock;
    // Declared before the threads: it serves their last hand-off while they stop.
    std::unique_ptr<TWindowHandOff> m_handOff;
    std::unique_ptr<TFltCtrl> m_fltCtrl;
    std::unique_ptr<TAActiveCtrl> m_aActiveCtrl;
    std::unique_ptr<TSTips> m_stips;
    std::unique_ptr<TPopupBnrF> m_popupBanner;

    TTrayMenu m_trayMenu;
    TTrayLamp* m_trayLamp = nullptr;
};
