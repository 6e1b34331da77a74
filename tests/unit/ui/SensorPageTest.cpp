// The sensors page of the options: what it offers, what it keeps, and its texts.
#include "ui/SensorPage.h"

#include "doubles/RecordingDialogs.h"
#include "res/MRes.h"
#include "support/FindControl.h"
#include "ui/OptionForm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

SensorSurvey Sensors()
{
    SensorSurvey survey;
    survey.Sensors = {{{"k10temp/Tctl", "k10temp", "Tctl"}, 57.5},
                      {{"nvme/Composite", "nvme", "Composite"}, std::nullopt},
                      {{"thermal/acpitz", "thermal", "acpitz", true}, 40}};
    GpuReading igpu, dgpu;
    igpu.Id = "i915/0000:00:02.0";
    igpu.Model = "Intel";
    igpu.LoadPercent = 12;
    dgpu.Id = "amdgpu/0000:03:00.0";
    dgpu.Model = "AMD 0x73bf";
    dgpu.Asleep = true;
    survey.Gpus = {igpu, dgpu};
    survey.Fans = {{"nct6775/SYSFAN", "nct6775 SYSFAN", 700, std::nullopt},
                   {"nct6775/CPU FAN", "nct6775 CPU FAN", 1200, std::nullopt}};
    survey.Done = true;
    return survey;
}


} // namespace

TEST(SensorPage, OffersTheAutomaticChoiceAndEverySensorWithItsValue)
{
    QLocale::setDefault(QLocale::c());
    TSensorPage page(Sensors());
    auto* select = Control<QComboBox>(page, "TempSensorSelect");
    ASSERT_EQ(select->count(), 4);
    EXPECT_EQ(select->itemText(0), QString::fromUtf8("Automatic (k10temp Tctl: 57.5 °C)"));
    EXPECT_EQ(select->itemText(2), "nvme Composite: no value");
    EXPECT_EQ(select->itemText(3), QString::fromUtf8("thermal acpitz: 40.0 °C"));
    EXPECT_TRUE(Control<QLabel>(page, "NoSensorLabel")->isHidden());
    // The cards and fans likewise: the automatic one named, a sleeping card as asleep.
    auto* gpus = Control<QComboBox>(page, "GpuSelect");
    ASSERT_EQ(gpus->count(), 3);
    EXPECT_EQ(gpus->itemText(0), "Automatic (i915/0000:00:02.0 Intel: 12 %)");
    EXPECT_EQ(gpus->itemText(2), "amdgpu/0000:03:00.0 AMD 0x73bf: asleep");
    auto* fans = Control<QComboBox>(page, "FanSelect");
    EXPECT_EQ(fans->itemText(0), "Automatic (nct6775 CPU FAN: 1200 rpm)");

    TSettings settings;
    settings.GpuId = "nvidia/0000:01:00.0"; // taken out
    settings.FanId = "nct6775/SYSFAN";
    settings.FanMaxRpm = 2500;
    settings.TempSensor = "nvme/Composite";
    settings.TempRangeLow = 25;
    settings.TempRangeHigh = 95;
    settings.TempAlarm = 80;
    settings.DiskSpacePath = "/srv";
    page.Load(settings);
    EXPECT_EQ(select->currentData(), "nvme/Composite");
    // A fresh survey keeps the choice.
    page.ShowSurvey(Sensors());
    EXPECT_EQ(select->currentData(), "nvme/Composite");
    select->setCurrentIndex(0);
    Control<QSpinBox>(page, "TempAlarm")->setValue(85);
    Control<QLineEdit>(page, "DiskSpacePath")->setText("  /home/me/data ");
    TSettings saved = settings;
    page.Save(saved);
    EXPECT_EQ(saved.TempSensor, ""); // automatic
    EXPECT_EQ(saved.TempRangeLow, 25);
    EXPECT_EQ(saved.TempRangeHigh, 95);
    EXPECT_EQ(saved.TempAlarm, 85);
    EXPECT_EQ(saved.DiskSpacePath, "/home/me/data");
    EXPECT_EQ(gpus->currentText(), "nvidia/0000:01:00.0 (not found)");
    EXPECT_EQ(saved.GpuId, "nvidia/0000:01:00.0");
    EXPECT_EQ(saved.FanId, "nct6775/SYSFAN");
    EXPECT_EQ(saved.FanMaxRpm, 2500);
}

TEST(SensorPage, MarksWhatIsGoneAndKeepsTheRangeOrdered)
{
    TSensorPage page;
    auto* noSensor = Control<QLabel>(page, "NoSensorLabel");
    EXPECT_TRUE(noSensor->isHidden()); // nothing known before the first look
    QStringList asked;
    page.SurveyWanted = [&](const QString& path) { asked << path; };
    TSettings settings;
    settings.TempSensor = "drivetemp/temp1"; // a disk that is unplugged now
    settings.DiskSpacePath = "/srv/gone";
    page.Load(settings);
    EXPECT_EQ(asked, QStringList{"/srv/gone"});
    SensorSurvey none;
    none.Done = true;
    none.DiskPath = "/srv/gone";
    none.DiskAbsence = SensorAbsence::NotFound;
    page.ShowSurvey(none);
    EXPECT_FALSE(noSensor->isHidden());
    EXPECT_EQ(Control<QComboBox>(page, "TempSensorSelect")->currentText(),
              "drivetemp/temp1 (not found)");
    auto* warning = Control<QLabel>(page, "DiskSpaceWarning");
    EXPECT_FALSE(warning->isHidden());
    EXPECT_EQ(warning->text(), "This folder does not exist.");
    TSettings saved;
    page.Save(saved);
    EXPECT_EQ(saved.TempSensor, "drivetemp/temp1");
    // A path that is found clears the warning.
    none.DiskAbsence = SensorAbsence::None;
    page.ShowSurvey(none);
    EXPECT_TRUE(warning->isHidden());

    auto* low = Control<QSpinBox>(page, "TempRangeLow");
    auto* high = Control<QSpinBox>(page, "TempRangeHigh");
    low->setValue(120);
    EXPECT_EQ(high->value(), 121); // the top moves up with the bottom
    high->setValue(40);
    EXPECT_EQ(low->value(), 39); // and the bottom down with the top
    low->setValue(MaxTemperature);
    page.Save(saved);
    EXPECT_LT(saved.TempRangeLow, saved.TempRangeHigh);
    EXPECT_LE(saved.TempRangeHigh, MaxTemperature);
}

TEST(SensorPage, IsATabOfTheOptionsWithTextsFromTheLanguage)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(res.OpenLanguage(QString::fromUtf8("日本語")));
    TOptionContext context;
    context.Res = &res;
    context.Sensors = Sensors();
    RecordingDialogs dialogs;
    TOptionForm dialog(context, dialogs);
    auto* tabs = Control<QTabWidget>(dialog, "PCtrl");
    const int index = tabs->indexOf(&dialog.SensorPage());
    ASSERT_GE(index, 0);
    EXPECT_EQ(tabs->tabText(index), QString::fromUtf8("センサー"));
    EXPECT_EQ(Control<QComboBox>(dialog, "TempSensorSelect")->itemText(0),
              QString::fromUtf8("自動 (k10temp Tctl: 57.5 °C)"));
    EXPECT_EQ(Control<QPushButton>(dialog, "DiskSpaceBrowse")->text(),
              QString::fromUtf8("参照..."));
}
