#pragma once

#include "core/SensorReadings.h"
#include "platform/AudioOut.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class Dialogs;
class QLineEdit;
class QPushButton;
class TLWaveFilePlayer;
class TMRes;
class TSensorPage;
class TSourcePage;
namespace Ui {
class OptionForm;
}

// What the options dialog shows besides the settings: the system it runs on, what the program
// found at start-up and the texts of the about panel.
struct TOptionContext
{
    QString ProgramFolder; // where sound files are stored relative to
    QStringList DataFolders; // where pictures and relative sound files are looked up
    const TMRes* Res = nullptr;
    bool IsNT = true;
    bool Win98OrMe = false;
    bool CpuFromNtdll = false;
    int CpuCount = 1;
    int KernelKind = 1; // 0 the Windows 9x family, 1 the NT family, anything else unknown
    bool LauncherInstalled = false; // the delayed launcher beside the program
    QStringList NicList;
    QStringList Languages;
    QString SstpHostName;
    QString SstpHostVersion;
    QString Edition;
    QString VersionText; // major.minor.release
    int Build = 0;
    QString CoreCodeName;
    QString SkinCodeName;
    // The full scales in force, in bytes per second, for the range texts.
    qint64 DiskFullScale = 0;
    qint64 NetFullScale = 0;
    // The sensors as last seen.
    SensorSurvey Sensors;
    AudioOutFactory Audio = &OpenSystemAudioOut;
    std::function<void(QWidget* parent)> OpenSstpTest;
};

// "Pulsmir Option": every setting the user edits, filled from the settings, with its enabling
// rules while it is open, and copied back on OK. It saves nothing itself.
class TOptionForm : public QDialog
{
    Q_OBJECT

public:
    TOptionForm(TOptionContext context, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TOptionForm() override;

    // The settings into the controls; `settings` is corrected where the Part's rules say so
    // (an interface that is gone clears NTMultiNIC).
    void Load(TSettings& settings);
    // The controls back into the settings.
    void Save(TSettings& settings) const;

    // Asks for a sound file, starting in a folder; empty when cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, const QString& startFolder)>;
    ChooseFile ChooseSoundFile;
    // Opens the speed range dialog; the default shows TFSpeedCheck.
    using ChooseRanges = std::function<bool(QWidget* parent, int& dRange, int& nRange,
                                            qint64& dCustomKib, qint64& nCustomKib)>;
    ChooseRanges ChooseSpeedRanges;

    TLWaveFilePlayer& LWavePlay() { return *m_player; }
    TSensorPage& SensorPage() { return *m_sensorPage; }
    TSourcePage& SourcePage() { return *m_sourcePage; }

    // The handlers of the controls.
    void ApplyEnabling();
    void PIntervalChange();
    void GateTimeChange(int moved);
    void WaitTimesExit();
    void SEOnlineChange(int index);
    void Button4Click(int index);
    void FillShippedSounds();
    void Test1Click(int index);
    void Button3Click();

private:
    void ApplyTexts();
    void FillAbout();
    void LoadPictures();
    void ShowRanges(qint64 diskFullScale, qint64 netFullScale);
    QStringList DataFolders() const;
    int Range(const QLineEdit* edit) const;
    // A full scale as shown: the automatic range in the open language.
    QString RangeShown(int range, const QString& text) const;
    qint64 RangeKib(const QLineEdit* edit) const;

    TOptionContext m_context;
    Dialogs& m_dialogs;
    std::unique_ptr<Ui::OptionForm> m_form;
    TLWaveFilePlayer* m_player;
    TSensorPage* m_sensorPage;
    TSourcePage* m_sourcePage;
    std::array<QLineEdit*, 7> m_soundEdits{};
    int m_lastWaitTime = 5;
};
