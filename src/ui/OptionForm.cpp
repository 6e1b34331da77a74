#include "ui/OptionForm.h"

#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "settings/SpeedRanges.h"
#include "skin/SkinImage.h"
#include "ui/ControlTexts.h"
#include "ui/EventSounds.h"
#include "ui/OptionRules.h"
#include "ui/SensorPage.h"
#include "ui/SourcePage.h"
#include "ui/SpeedCheck.h"
#include "ui/WavePlayer.h"
#include "ui_OptionForm.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QPalette>
#include <QPixmap>

namespace {

// Which language code labels which control: its caption, its hint, or both.
const ControlText Codes[] = {
    {"OptionForm", "C0399", nullptr},
    {"AWTop", "C0303", "C0304"},
    {"RegStartup", "C0305", "C0306"},
    {"AntiLogo", "C0307", "C0308"},
    {"ExtSetting", "C0309", "C0310"},
    {"SknFldSW", "C0311", "C0312"},
    {"AASW", "C0313", "C0314"},
    {"WaitOnStartup", "C0315", "C0316"},
    {"SstpSW", "C0317", "C0318"},
    {"ShowSkinBanner", "C0319", "C0320"},
    {"GroupBox4", "C0321", nullptr},
    {"MultiCPUGrp", "C0322", "C0323"},
    {"MultiNICGrp", "C0324", "C0325"},
    {"Label4", "C0326", nullptr},
    {"NICSelect", nullptr, "C0327"},
    {"AlphaLogo", "C0328", "C0329"},
    {"Label6", "C0330", nullptr},
    {"PerfRate1", "C0331", "C0332"},
    {"PerfRate2", "C0333", "C0334"},
    {"PerfRate3", "C0335", "C0336"},
    {"Label8", "C0337", nullptr},
    {"GrpRate1", "C0338", "C0339"},
    {"GrpRate2", "C0340", "C0341"},
    {"GrpRate3", "C0342", "C0343"},
    {"PingEnable", "C0344", "C0345"},
    {"PLabel", "C0346", nullptr},
    {"PInterval", nullptr, "C0347"},
    {"Label5", "C0348", nullptr},
    {"PTrg", nullptr, "C0349"},
    {"Label7", "C0350", nullptr},
    {"Label9", "C0351", nullptr},
    {"Label11", "C0352", nullptr},
    {"GateTime1", nullptr, "C0353"},
    {"GateTime2", nullptr, "C0353"},
    {"GateTime3", nullptr, "C0353"},
    {"Button1", "C0354", "C0355"},
    {"Button2", "C0356", "C0357"},
    {"Label3", "C0358", nullptr},
    {"Label10", "C0359", nullptr},
    {"CarefulStart", "C0360", "C0361"},
    {"LogConvSW", "C0362", "C0363"},
    {"ODMenuSW", "C0364", "C0365"},
    {"AutoHidingSW", "C0366", "C0367"},
    {"PerfRate4", "C0372", "C0373"},
    {"SESw", "C0375", "C0376"},
    {"GroupBox8", "C0377", nullptr},
    {"Label23", "C0378", nullptr},
    {"Label24", "C0379", nullptr},
    {"Label25", "C0380", nullptr},
    {"GroupBox5", "C0381", nullptr},
    {"Label14", "C0382", nullptr},
    {"Label15", "C0383", nullptr},
    {"Label16", "C0384", nullptr},
    {"Label17", "C0385", nullptr},
    {"UseIphlpapi", "C0389", "C0390"},
    {"ProcessOverDrive", "C0391", "C0392"},
    {"UseDefGW", "C0393", "C0394"},
    {"Label32", "C0395", nullptr},
    {"LogoPos", nullptr, "C0396"},
    {"AHSW", "C0397", "C0398"},
    // The pages' titles.
    {"TabSheet1", "C0300", nullptr},
    {"TabSheet2", "C0301", nullptr},
    {"TabSheet6", "C0500", nullptr},
    {"TabSheet5", "C0374", nullptr},
    {"TabSheetSensors", "C0580", nullptr},
    {"TabSheetSource", "C0560", nullptr},
    {"TabSheet3", "C0302", nullptr},
    {"TabSheet4", "C0501", nullptr},
    {"Label13", "C0502", nullptr},
    {"SSTPTestButton", "C0503", nullptr},
    {"DiskRangeLabel", "C0509", nullptr},
    {"NetRangeLabel", "C0510", nullptr},
    {"Button3", "C0511", nullptr},
    {"NotFoundLegend", "C0513", nullptr},
    {"Test1", "C0512", nullptr},
    {"Test2", "C0512", nullptr},
    {"Test3", "C0512", nullptr},
    {"Test4", "C0512", nullptr},
    {"Test5", "C0512", nullptr},
    {"Test6", "C0512", nullptr},
    {"Test7", "C0512", nullptr},
};

QString* SoundField(TSettings& settings, int index)
{
    TEventSoundSettings& sounds = settings.EventSound;
    QString* fields[] = {&sounds.pON,  &sounds.pOFF, &sounds.pPING, &sounds.pSTART,
                         &sounds.pSKIN, &sounds.pMEM, &sounds.pRES};
    return fields[index];
}

QString SoundValue(const TSettings& settings, int index)
{
    return *SoundField(const_cast<TSettings&>(settings), index);
}

} // namespace

TOptionForm::TOptionForm(TOptionContext context, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_context(std::move(context)), m_dialogs(dialogs),
      m_form(std::make_unique<Ui::OptionForm>()),
      m_player(new TLWaveFilePlayer(m_context.Audio, this))
{
    m_form->setupUi(this);
    m_sensorPage = new TSensorPage(m_context.Sensors);
    m_sensorPage->setObjectName(QStringLiteral("TabSheetSensors"));
    m_form->PCtrl->insertTab(m_form->PCtrl->indexOf(m_form->TabSheet3), m_sensorPage,
                             QStringLiteral("Sensors"));
    m_sourcePage = new TSourcePage;
    m_sourcePage->setObjectName(QStringLiteral("TabSheetSource"));
    m_form->PCtrl->insertTab(m_form->PCtrl->indexOf(m_form->TabSheet3), m_sourcePage,
                             QStringLiteral("Source"));
    m_soundEdits = {m_form->SEOnline, m_form->SEOffline,   m_form->SEPinging, m_form->SEStart,
                    m_form->SEChangeSkin, m_form->SEMemFull, m_form->SEResAlart};
    const std::array<QPushButton*, 7> browse = {m_form->Button4, m_form->Button5, m_form->Button6,
                                                m_form->Button7, m_form->Button8, m_form->Button9,
                                                m_form->Button10};
    const std::array<QPushButton*, 7> play = {m_form->Test1, m_form->Test2, m_form->Test3,
                                              m_form->Test4, m_form->Test5, m_form->Test6,
                                              m_form->Test7};
    for (int i = 0; i < 7; ++i) {
        connect(m_soundEdits[i], &QLineEdit::textChanged, this, [this, i] { SEOnlineChange(i); });
        connect(browse[i], &QPushButton::clicked, this, [this, i] { Button4Click(i); });
        connect(play[i], &QPushButton::clicked, this, [this, i] { Test1Click(i); });
    }
    // The display rate and the graph step are two choices on one page.
    auto* perfRates = new QButtonGroup(this);
    for (QRadioButton* rate : {m_form->PerfRate1, m_form->PerfRate2, m_form->PerfRate3, m_form->PerfRate4})
        perfRates->addButton(rate);
    auto* graphRates = new QButtonGroup(this);
    for (QRadioButton* rate : {m_form->GrpRate1, m_form->GrpRate2, m_form->GrpRate3})
        graphRates->addButton(rate);
    m_form->NotFoundSwatch->setStyleSheet(QStringLiteral("background-color: yellow;"));

    for (QAbstractButton* rule :
         {static_cast<QAbstractButton*>(m_form->RegStartup), static_cast<QAbstractButton*>(m_form->WaitOnStartup),
          static_cast<QAbstractButton*>(m_form->AntiLogo), static_cast<QAbstractButton*>(m_form->UseDefGW),
          static_cast<QAbstractButton*>(m_form->ShowSkinBanner), static_cast<QAbstractButton*>(m_form->PingEnable),
          static_cast<QAbstractButton*>(m_form->SESw)})
        connect(rule, &QAbstractButton::toggled, this, &TOptionForm::ApplyEnabling);
    // Switched on by the user, sounds start with the shipped tones wherever no file is chosen.
    connect(m_form->SESw, &QAbstractButton::clicked, this, [this](bool on) {
        if (on)
            FillShippedSounds();
    });
    m_player->OnError = [this](QObject*, const QString& message) {
        const QString text = SoundFailureText(m_context.Res, *m_player, message);
        QMetaObject::invokeMethod(
            this, [this, text] { m_dialogs.Warning(text); }, Qt::QueuedConnection);
    };
    connect(m_form->MultiNICGrp, &QCheckBox::toggled, this, [this](bool on) {
        if (on && m_form->NICSelect->currentIndex() < 0 && m_form->NICSelect->count() > 0)
            m_form->NICSelect->setCurrentIndex(0);
        ApplyEnabling();
    });
    connect(m_form->PInterval, &QSlider::valueChanged, this, &TOptionForm::PIntervalChange);
    connect(m_form->GateTime1, &QSlider::valueChanged, this, [this] { GateTimeChange(1); });
    connect(m_form->GateTime2, &QSlider::valueChanged, this, [this] { GateTimeChange(2); });
    connect(m_form->GateTime3, &QSlider::valueChanged, this, [this] { GateTimeChange(3); });
    connect(m_form->WaitTimes, &QLineEdit::editingFinished, this, &TOptionForm::WaitTimesExit);
    connect(m_form->Button3, &QPushButton::clicked, this, &TOptionForm::Button3Click);
    connect(m_form->SSTPTestButton, &QPushButton::clicked, this, [this] {
        if (m_context.OpenSstpTest)
            m_context.OpenSstpTest(this);
    });

    ChooseSoundFile = [this](QWidget* parent, const QString& startFolder) {
        return QFileDialog::getOpenFileName(
            parent, QString(), startFolder,
            TextOr(m_context.Res, "C0514", QStringLiteral("Wave files (*.wav)")));
    };
    ChooseSpeedRanges = [this](QWidget* parent, int& dRange, int& nRange, qint64& dKib,
                               qint64& nKib) {
        TFSpeedCheck speed(m_dialogs, m_context.Res, parent);
        speed.Load({dRange, nRange, dKib, nKib});
        if (speed.exec() != QDialog::Accepted)
            return false;
        const SpeedRangeSelection chosen = speed.Save();
        dRange = chosen.DRange;
        nRange = chosen.NRange;
        dKib = chosen.DCustomKib;
        nKib = chosen.NCustomKib;
        return true;
    };

    ApplyTexts();
    FillAbout();
    LoadPictures();
}

TOptionForm::~TOptionForm() = default;

void TOptionForm::ApplyTexts()
{
    if (!m_context.Res)
        return;
    const TMRes& res = *m_context.Res;
    ApplyControlTexts(*this, res, Codes);
    ApplyItemTexts(*m_form->LogoPos, res, {"C0504", "C0505", "C0506", "C0507", "C0508"});
    m_sensorPage->ApplyTexts(res);
    m_sourcePage->ApplyTexts(res);
}

void TOptionForm::FillAbout()
{
    m_form->Label12->setText(m_context.Edition + QStringLiteral(" Version ") + m_context.VersionText);
    m_form->BinVersion->setText(QStringLiteral("Binary Build %1").arg(m_context.Build));
    m_form->CoreStep->setText(QStringLiteral("Core Unit Step '") + m_context.CoreCodeName + u'\'' +
                              (m_context.CpuCount >= 1 ? QStringLiteral(" (MPS)") : QString()));
    m_form->CoreMode->setText(m_context.KernelKind == 0   ? QStringLiteral("Core Mode 'Win9x Mode'")
                              : m_context.KernelKind == 1 ? QStringLiteral("Core Mode 'WinNT Mode'")
                                                          : QStringLiteral("Core Mode 'ERROR!'"));
    m_form->SkinStep->setText(QStringLiteral("Skin Engine Step '") + m_context.SkinCodeName + u'\'');
    m_form->SSTPInfos->setText(m_context.SstpHostName.isEmpty()
                                   ? QStringLiteral("SSTP : Connection Refused")
                                   : QStringLiteral("SSTP : ") + m_context.SstpHostName + u'(' +
                                         m_context.SstpHostVersion + u')');
}

void TOptionForm::LoadPictures()
{
    const std::pair<QLabel*, const char*> pictures[] = {{m_form->Image2, "rl1.prs"},
                                                        {m_form->Image3, "rm1.prs"},
                                                        {m_form->Image5, "rm2.prs"},
                                                        {m_form->Image4, "rm3.prs"}};
    for (const auto& [label, file] : pictures) {
        const QString path = OptionRules::ResolveDataFile(QLatin1String(file), DataFolders());
        if (!QFileInfo::exists(path))
            continue;
        const QImage picture = LoadPictureImage(path);
        if (!picture.isNull())
            label->setPixmap(QPixmap::fromImage(picture));
    }
}

void TOptionForm::Load(TSettings& settings)
{
    Ui::OptionForm& f = *m_form;
    f.AWTop->setChecked(settings.AlwaysTop);
    f.RegStartup->setChecked(settings.RegStartup);
    f.WaitOnStartup->setChecked(settings.WaitOnStartup);
    m_lastWaitTime = std::clamp(settings.WaitTime, 2, 30);
    f.WaitTimes->setText(QString::number(settings.WaitTime));
    f.AntiLogo->setChecked(settings.NoSplash);
    f.ExtSetting->setChecked(settings.ExtUpdate);
    f.SknFldSW->setChecked(settings.SkinFolderWatch);
    f.AASW->setChecked(settings.AutoActiveSW);
    f.AHSW->setChecked(settings.AutoHiding);
    f.AutoHidingSW->setChecked(settings.AutoHidingOnMouse);
    f.CarefulStart->setChecked(settings.Carefully);
    f.SstpSW->setChecked(settings.SstpSW);
    f.ShowSkinBanner->setChecked(settings.ShowSkinBanner);
    f.LogoPos->setCurrentIndex(std::clamp(settings.LogoPosition, 0, f.LogoPos->count() - 1));
    f.ProcessOverDrive->setChecked(settings.ProcessOverDrive);
    f.ODMenuSW->setChecked(settings.ODMenuSW);

    QRadioButton* perfRates[] = {f.PerfRate1, f.PerfRate2, f.PerfRate3, f.PerfRate4};
    perfRates[std::clamp(settings.PerfRate, 1, 4) - 1]->setChecked(true);
    QRadioButton* graphRates[] = {f.GrpRate1, f.GrpRate2, f.GrpRate3};
    graphRates[std::clamp(settings.GraphRate, 1, 3) - 1]->setChecked(true);
    f.LogConvSW->setChecked(settings.LogConvSW);
    f.PingEnable->setChecked(settings.PingEnable);
    f.PInterval->setValue(OptionRules::PingBarOf(settings.PingRate));
    const QSignalBlocker g1(f.GateTime1), g2(f.GateTime2), g3(f.GateTime3);
    f.GateTime1->setValue(OptionRules::GateBarOf(settings.PingGT1));
    f.GateTime2->setValue(OptionRules::GateBarOf(settings.PingGT2));
    f.GateTime3->setValue(OptionRules::GateBarOf(settings.PingGT3));
    f.PTrg->setText(settings.PingHost);
    f.UseDefGW->setChecked(settings.UseDefaultGateway);
    f.UseIphlpapi->setChecked(settings.UseIphlpapi);
    f.HDRange->setText(QString::number(settings.DRange));
    f.NICRange->setText(QString::number(settings.NRange));
    f.HDRangeV->setText(QString::number(settings.DRangeV / 1024));
    f.NICRangeV->setText(QString::number(settings.NRangeV / 1024));
    ShowRanges(m_context.DiskFullScale, m_context.NetFullScale);

    f.MultiCPUGrp->setChecked(settings.NTMultiCPU);
    f.NICSelect->clear();
    if (m_context.IsNT) {
        f.NICSelect->addItems(m_context.NicList);
        f.NICSelect->setCurrentIndex(static_cast<int>(m_context.NicList.indexOf(settings.NTTargetNIC)));
        if (f.NICSelect->currentIndex() < 0)
            settings.NTMultiNIC = false;
    }
    f.MultiNICGrp->setChecked(settings.NTMultiNIC);
    f.AlphaLogo->setChecked(settings.SplashAlpha);

    f.SESw->setChecked(settings.EventSound.Enable);
    for (int i = 0; i < 7; ++i)
        m_soundEdits[i]->setText(SoundValue(settings, i));

    f.ResUnitSelect->clear();
    f.ResUnitSelect->addItems(m_context.Languages);
    f.ResUnitSelect->setCurrentRow(static_cast<int>(m_context.Languages.indexOf(settings.ResourceName)));
    m_sensorPage->Load(settings);
    m_sourcePage->Load(settings);

    GateTimeChange(0);
    PIntervalChange();
    for (int i = 0; i < 7; ++i)
        SEOnlineChange(i);
    ApplyEnabling();
}

void TOptionForm::Save(TSettings& settings) const
{
    const Ui::OptionForm& f = *m_form;
    settings.AlwaysTop = f.AWTop->isChecked();
    settings.RegStartup = f.RegStartup->isChecked();
    settings.WaitOnStartup = f.WaitOnStartup->isChecked();
    settings.WaitTime = OptionRules::WaitTimeOf(f.WaitTimes->text()).value_or(m_lastWaitTime);
    settings.NoSplash = f.AntiLogo->isChecked();
    settings.ExtUpdate = f.ExtSetting->isChecked();
    settings.SkinFolderWatch = f.SknFldSW->isChecked();
    settings.AutoActiveSW = f.AASW->isChecked();
    settings.AutoHiding = f.AHSW->isChecked();
    settings.AutoHidingOnMouse = f.AutoHidingSW->isChecked();
    settings.Carefully = f.CarefulStart->isChecked();
    settings.SstpSW = f.SstpSW->isChecked();
    settings.ShowSkinBanner = f.ShowSkinBanner->isChecked();
    settings.LogoPosition = f.LogoPos->currentIndex();
    settings.ProcessOverDrive = f.ProcessOverDrive->isChecked();
    settings.ODMenuSW = f.ODMenuSW->isChecked();

    const QRadioButton* perfRates[] = {f.PerfRate1, f.PerfRate2, f.PerfRate3, f.PerfRate4};
    for (int i = 0; i < 4; ++i)
        if (perfRates[i]->isChecked())
            settings.PerfRate = i + 1;
    const QRadioButton* graphRates[] = {f.GrpRate1, f.GrpRate2, f.GrpRate3};
    for (int i = 0; i < 3; ++i)
        if (graphRates[i]->isChecked())
            settings.GraphRate = i + 1;
    settings.LogConvSW = f.LogConvSW->isChecked();
    settings.PingEnable = f.PingEnable->isChecked();
    settings.PingRate = OptionRules::PingRateOf(f.PInterval->value());
    settings.PingGT1 = OptionRules::GateMsOf(f.GateTime1->value());
    settings.PingGT2 = OptionRules::GateMsOf(f.GateTime2->value());
    settings.PingGT3 = OptionRules::GateMsOf(f.GateTime3->value());
    settings.PingHost = f.PTrg->text().trimmed();
    settings.UseDefaultGateway = f.UseDefGW->isChecked();
    settings.UseIphlpapi = f.UseIphlpapi->isChecked();
    // The range edits are filled by the dialog itself; text that is not a number keeps the value.
    settings.DRange = Range(f.HDRange) >= 0 ? Range(f.HDRange) : settings.DRange;
    settings.NRange = Range(f.NICRange) >= 0 ? Range(f.NICRange) : settings.NRange;
    if (RangeKib(f.HDRangeV) >= 0)
        settings.DRangeV = CustomBytesPerSecond(RangeKib(f.HDRangeV));
    if (RangeKib(f.NICRangeV) >= 0)
        settings.NRangeV = CustomBytesPerSecond(RangeKib(f.NICRangeV));

    settings.NTMultiCPU = f.MultiCPUGrp->isChecked();
    settings.NTMultiNIC = f.MultiNICGrp->isChecked();
    settings.NTTargetNIC = f.NICSelect->currentText();
    settings.SplashAlpha = f.AlphaLogo->isChecked();

    settings.EventSound.Enable = f.SESw->isChecked();
    for (int i = 0; i < 7; ++i)
        *SoundField(settings, i) = m_soundEdits[i]->text();

    if (const QListWidgetItem* language = f.ResUnitSelect->currentItem())
        settings.ResourceName = language->text();
    m_sensorPage->Save(settings);
    m_sourcePage->Save(settings);
}

QStringList TOptionForm::DataFolders() const
{
    return m_context.DataFolders.isEmpty() ? QStringList{m_context.ProgramFolder} : m_context.DataFolders;
}

int TOptionForm::Range(const QLineEdit* edit) const
{
    bool isNumber = false;
    const int value = edit->text().trimmed().toInt(&isNumber);
    return isNumber && value >= 0 ? value : -1;
}

qint64 TOptionForm::RangeKib(const QLineEdit* edit) const
{
    bool isNumber = false;
    const qint64 value = edit->text().trimmed().toLongLong(&isNumber);
    return isNumber && value >= 0 ? value : -1;
}

void TOptionForm::ShowRanges(qint64 diskFullScale, qint64 netFullScale)
{
    const QLocale locale;
    const int disk = Range(m_form->HDRange);
    const int net = Range(m_form->NICRange);
    m_form->DiskSpeedRange->setText(
        RangeShown(disk, OptionRules::RangeText(disk, diskFullScale, locale)));
    m_form->NetSpeedRange->setText(
        RangeShown(net, OptionRules::RangeText(net, netFullScale, locale)));
}

QString TOptionForm::RangeShown(int range, const QString& text) const
{
    return range == AutomaticRange ? TextOr(m_context.Res, "C0515", text) : text;
}

void TOptionForm::ApplyEnabling()
{
    Ui::OptionForm& f = *m_form;
    OptionRules::EnablingInputs in;
    in.IsNT = m_context.IsNT;
    in.Win98OrMe = m_context.Win98OrMe;
    in.CpuFromNtdll = m_context.CpuFromNtdll;
    in.RegStartup = f.RegStartup->isChecked();
    in.WaitOnStartup = f.WaitOnStartup->isChecked();
    in.LauncherInstalled = m_context.LauncherInstalled;
    in.NoSplash = f.AntiLogo->isChecked();
    in.ShowSkinBanner = f.ShowSkinBanner->isChecked();
    in.PingEnable = f.PingEnable->isChecked();
    in.UseDefaultGateway = f.UseDefGW->isChecked();
    in.MultiNic = f.MultiNICGrp->isChecked();
    in.SoundsEnabled = f.SESw->isChecked();
    const OptionRules::Enabling on = OptionRules::EnablingOf(in);

    f.UseIphlpapi->setEnabled(on.UseIphlpapi);
    f.MultiNICGrp->setEnabled(on.MultiNic);
    f.Label4->setEnabled(on.NicSelect);
    f.NICSelect->setEnabled(on.NicSelect);
    f.MultiCPUGrp->setEnabled(on.MultiCpu);
    f.WaitOnStartup->setEnabled(on.WaitOnStartup);
    f.WaitTimes->setEnabled(on.WaitTimes);
    f.Label13->setEnabled(on.WaitTimes);
    f.AlphaLogo->setEnabled(on.AlphaLogo);
    f.LogoPos->setEnabled(on.LogoPos);
    f.Label32->setEnabled(on.LogoPos);
    for (QWidget* ping : {static_cast<QWidget*>(f.PLabel), static_cast<QWidget*>(f.PInterval),
                          static_cast<QWidget*>(f.Label5), static_cast<QWidget*>(f.UseDefGW),
                          static_cast<QWidget*>(f.Label10), static_cast<QWidget*>(f.Label7),
                          static_cast<QWidget*>(f.Label9), static_cast<QWidget*>(f.Label11),
                          static_cast<QWidget*>(f.GateTime1), static_cast<QWidget*>(f.GateTime2),
                          static_cast<QWidget*>(f.GateTime3), static_cast<QWidget*>(f.GT1),
                          static_cast<QWidget*>(f.GT2), static_cast<QWidget*>(f.GT3)})
        ping->setEnabled(on.PingControls);
    f.PTrg->setEnabled(on.PingTarget);
    for (QWidget* sound : {static_cast<QWidget*>(f.GroupBox8), static_cast<QWidget*>(f.GroupBox5)})
        sound->setEnabled(on.SoundControls);
}

void TOptionForm::PIntervalChange()
{
    const QString caption = m_context.Res ? m_context.Res->GetText(QStringLiteral("C0346"))
                                          : QStringLiteral("Ping interval:");
    m_form->PLabel->setText(OptionRules::PingIntervalText(caption, m_form->PInterval->value()));
}

void TOptionForm::GateTimeChange(int moved)
{
    Ui::OptionForm& f = *m_form;
    const OptionRules::Gates ordered = OptionRules::OrderGates(
        {f.GateTime1->value(), f.GateTime2->value(), f.GateTime3->value()}, moved);
    const QSignalBlocker g1(f.GateTime1), g2(f.GateTime2), g3(f.GateTime3);
    f.GateTime1->setValue(ordered.G1);
    f.GateTime2->setValue(ordered.G2);
    f.GateTime3->setValue(ordered.G3);
    f.GT1->setText(QString::number(OptionRules::GateMsOf(ordered.G1)) + QStringLiteral("ms"));
    f.GT2->setText(QString::number(OptionRules::GateMsOf(ordered.G2)) + QStringLiteral("ms"));
    f.GT3->setText(QString::number(OptionRules::GateMsOf(ordered.G3)) + QStringLiteral("ms"));
    f.GateTime1->SetBand(f.GateTime1->minimum(), ordered.G1);
    f.GateTime2->SetBand(ordered.G1, ordered.G2);
    f.GateTime3->SetBand(ordered.G2, ordered.G3);
}

void TOptionForm::WaitTimesExit()
{
    const std::optional<int> seconds = OptionRules::WaitTimeOf(m_form->WaitTimes->text());
    if (!seconds) {
        m_dialogs.Warning(TextOr(m_context.Res, "R0628",
                                 QStringLiteral("Enter the delay as a whole number of seconds, "
                                                "from 2 to 30.")));
        m_form->WaitTimes->setText(QString::number(m_lastWaitTime));
        return;
    }
    m_lastWaitTime = *seconds;
    m_form->WaitTimes->setText(QString::number(*seconds));
}

void TOptionForm::SEOnlineChange(int index)
{
    QLineEdit* edit = m_soundEdits[index];
    const bool missing = !OptionRules::SoundFileExists(edit->text(), DataFolders());
    edit->setProperty("FileMissing", missing);
    // Only the field's base changes, from the theme's own, so a dark theme stays dark; a found
    // file shows as the theme draws any field.
    QPalette colours;
    if (missing)
        colours.setColor(
            QPalette::Base,
            OptionRules::MissingFileBase(edit->parentWidget()->palette().color(QPalette::Base)));
    edit->setPalette(colours);
}

void TOptionForm::Button4Click(int index)
{
    QLineEdit* edit = m_soundEdits[index];
    QString start = edit->text();
    if (!start.isEmpty() && !QDir::isAbsolutePath(start))
        start = OptionRules::ResolveDataFile(start, DataFolders());
    QString folder = QFileInfo(start).absolutePath();
    if (start.isEmpty()) {
        const QString sounds =
            OptionRules::ResolveDataFile(OptionRules::SoundsFolder, DataFolders());
        folder = QFileInfo(sounds).isDir() ? sounds : m_context.ProgramFolder;
    }
    const QString chosen = ChooseSoundFile ? ChooseSoundFile(this, folder) : QString();
    if (!chosen.isEmpty())
        edit->setText(OptionRules::StoredSoundPath(chosen, m_context.ProgramFolder));
}

void TOptionForm::FillShippedSounds()
{
    for (int i = 0; i < int(m_soundEdits.size()); ++i)
        if (m_soundEdits[i]->text().isEmpty() &&
            OptionRules::SoundFileExists(OptionRules::ShippedSound(i), DataFolders()))
            m_soundEdits[i]->setText(OptionRules::ShippedSound(i));
}

void TOptionForm::Test1Click(int index)
{
    const QString file = OptionRules::ResolveDataFile(m_soundEdits[index]->text(), DataFolders());
    if (m_soundEdits[index]->text().isEmpty())
        return;
    PlayWaveFile(*m_player, file);
}

void TOptionForm::Button3Click()
{
    int dRange = std::max(Range(m_form->HDRange), 0);
    int nRange = std::max(Range(m_form->NICRange), 0);
    qint64 dKib = std::max<qint64>(RangeKib(m_form->HDRangeV), 0);
    qint64 nKib = std::max<qint64>(RangeKib(m_form->NICRangeV), 0);
    if (!ChooseSpeedRanges || !ChooseSpeedRanges(this, dRange, nRange, dKib, nKib))
        return;
    m_form->HDRange->setText(QString::number(dRange));
    m_form->NICRange->setText(QString::number(nRange));
    if (dRange == CustomRange)
        m_form->HDRangeV->setText(QString::number(dKib));
    if (nRange == CustomRange)
        m_form->NICRangeV->setText(QString::number(nKib));
    m_form->DiskSpeedRange->setText(RangeShown(dRange, RangeLabelOf(DiskRanges, dRange, dKib)));
    m_form->NetSpeedRange->setText(RangeShown(nRange, RangeLabelOf(NetworkRanges, nRange, nKib)));
}
