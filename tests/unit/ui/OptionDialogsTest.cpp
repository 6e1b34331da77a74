#include "doubles/RecordingDialogs.h"
#include "platform/linux/AlsaAudioOut.h"
#include "res/MRes.h"
#include "settings/SpeedRanges.h"
#include "support/EventLoop.h"
#include "support/FindControl.h"
#include "support/TempProgramFolder.h"
#include "support/WaveFiles.h"
#include "ui/BandSlider.h"
#include "ui/OptionForm.h"
#include "ui/PopupBanner.h"
#include "ui/SkinBannerForm.h"
#include "ui/SpeedCheck.h"
#include "ui/WavePlayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <gtest/gtest.h>

TEST(SpeedRangeDialog, OpensOnTheCodesAndReturnsTheChoice)
{
    RecordingDialogs dialogs;
    TFSpeedCheck dialog(dialogs);
    EXPECT_EQ(dialog.windowTitle(), "Speed Select of HDD/Ethernet");
    dialog.Load({15, 19, 0, 0});
    EXPECT_TRUE(dialog.HD.Device->isChecked());
    EXPECT_EQ(dialog.HD.List->currentItem()->text(), "SCSI-1 (5MB/sec)");
    EXPECT_EQ(dialog.NIC.List->currentItem()->text(), "Wireless 11b 1Mbps (128KB/sec)");
    EXPECT_TRUE(dialog.HD.List->isEnabled());
    EXPECT_FALSE(dialog.HD.CustomEdit->isEnabled());

    dialog.Load({99, 0, 204800, 0});
    EXPECT_TRUE(dialog.HD.Custom->isChecked());
    EXPECT_TRUE(dialog.HD.CustomEdit->isEnabled());
    EXPECT_FALSE(dialog.HD.List->isEnabled());
    EXPECT_TRUE(dialog.NIC.Auto->isChecked());
    const SpeedRangeSelection custom = dialog.Save();
    EXPECT_EQ(custom.DRange, 99);
    EXPECT_EQ(custom.DCustomKib, 204800);
    EXPECT_EQ(custom.NRange, 0);

    // The device choice without an entry is automatic.
    dialog.NIC.Device->setChecked(true);
    dialog.NIC.List->setCurrentRow(-1);
    EXPECT_EQ(dialog.Save().NRange, 0);
    dialog.NIC.List->setCurrentRow(8);
    EXPECT_EQ(dialog.Save().NRange, 9);
}

TEST(SpeedRangeDialog, TodaysDevicesFollowTheFirstRows)
{
    RecordingDialogs dialogs;
    TFSpeedCheck dialog(dialogs);
    // Stored codes keep naming the same devices.
    dialog.Load({15, 19, 0, 0});
    EXPECT_EQ(dialog.HD.List->currentItem()->text(), "SCSI-1 (5MB/sec)");
    EXPECT_EQ(dialog.NIC.List->currentItem()->text(), "Wireless 11b 1Mbps (128KB/sec)");
    QStringList disks, networks;
    for (int row = 15; row < dialog.HD.List->count(); ++row)
        disks << dialog.HD.List->item(row)->text();
    for (int row = 19; row < dialog.NIC.List->count(); ++row)
        networks << dialog.NIC.List->item(row)->text();
    const auto listed = [](const QStringList& rows, const char* device) {
        return std::count_if(rows.begin(), rows.end(),
                             [device](const QString& row) { return row.startsWith(device); });
    };
    for (const char* device : {"NVMe PCIe 3.0", "NVMe PCIe 4.0", "NVMe PCIe 5.0", "USB 3.2 Gen 1",
                               "USB 3.2 Gen 2 ", "USB 3.2 Gen 2x2"})
        EXPECT_EQ(listed(disks, device), 1) << device;
    for (const char* device :
         {"2.5GBase-T", "5GBase-T", "25GBase-R", "Wi-Fi 5", "Wi-Fi 6", "Wi-Fi 7"})
        EXPECT_EQ(listed(networks, device), 1) << device;
    EXPECT_EQ(FullScaleOf(DiskRanges, 18, 0), 14ll << 30);
    EXPECT_EQ(RangeLabelOf(NetworkRanges, 25, 0), "343MB/sec");
}

TEST(SpeedRangeDialog, BadCustomValuesKeepItOpenWithTheirBoxes)
{
    RecordingDialogs dialogs;
    TFSpeedCheck dialog(dialogs);
    dialog.Load({99, 99, 0, 0});
    dialog.HD.CustomEdit->setText("0");
    dialog.NIC.CustomEdit->setText("-5");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialogs.boxes.size(), 2u); // both groups in the same click
    EXPECT_EQ(dialogs.boxes[0].text, "HD Custom Value Error!");
    EXPECT_EQ(dialogs.boxes[1].text, "NIC Custom Value Error!");

    // More than the 64-bit full scale can hold in bytes.
    dialogs.boxes.clear();
    dialog.HD.CustomEdit->setText("9007199254740992");
    dialog.NIC.CustomEdit->setText("1");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "HD Custom Value Error!");

    dialogs.boxes.clear();
    dialog.HD.CustomEdit->setText("12.5");
    dialog.NIC.CustomEdit->setText("");
    dialog.NIC.Auto->setChecked(true);
    dialog.accept();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "HD Custom Value: enter a whole number of KB/sec.");
    EXPECT_EQ(dialog.NIC.CustomEdit->text(), "0"); // an empty edit becomes 0

    dialogs.boxes.clear();
    dialog.HD.CustomEdit->setText("2048");
    dialog.accept();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

namespace {

class OptionsDialog : public ::testing::Test
{
protected:
    OptionsDialog() : res(PULSMIR_DATA_DIR)
    {
        res.OpenLanguage("English");
        folder.Write("sounds/start.wav", WaveFiles::Pcm16Mono(WaveFiles::Samples(400)));
        context.ProgramFolder = folder.Path();
        context.Res = &res;
        context.NicList = QStringList({"eth0", "wlan0"});
        context.Languages = res.ListLanguages();
        context.DiskFullScale = 139'460'608;
        context.NetFullScale = 1'048'576;
        context.Audio = [this] {
            return std::make_unique<AlsaAudioOut>(QStringLiteral("file:'%1',raw").arg(folder.File("OUT.raw")));
        };
        settings.ResourceName = "English";
        settings.NTMultiNIC = true;
        settings.NTTargetNIC = "wlan0";
        settings.DRange = 4;
        settings.EventSound.pSTART = "sounds/start.wav";
        settings.EventSound.pSKIN = "sounds/gone.wav";
    }

    TempProgramFolder folder;
    TMRes res;
    RecordingDialogs dialogs;
    TOptionContext context;
    TSettings settings;
};

} // namespace

TEST_F(OptionsDialog, FillsFromTheSettingsAndGivesThemBack)
{
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    EXPECT_EQ(dialog.windowTitle(), "Pulsmir Option");
    EXPECT_EQ(Control<QCheckBox>(dialog, "AWTop")->text(), res.GetText("C0303"));
    EXPECT_EQ(Control<QCheckBox>(dialog, "AWTop")->toolTip(), res.GetText("C0304"));
    EXPECT_TRUE(Control<QRadioButton>(dialog, "PerfRate2")->isChecked());
    EXPECT_EQ(Control<QSlider>(dialog, "PInterval")->value(), 6);
    EXPECT_TRUE(Control<QLabel>(dialog, "PLabel")->text().endsWith(": 60s"));
    EXPECT_EQ(Control<QSlider>(dialog, "GateTime1")->value(), 5);
    EXPECT_EQ(Control<QSlider>(dialog, "GateTime3")->value(), 20);
    EXPECT_EQ(Control<QLabel>(dialog, "GT2")->text(), "100ms");
    // Each gate bar highlights from the gate below it up to its own.
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime1")->BandFrom(), 0);
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime1")->BandTo(), 5);
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime2")->BandFrom(), 5);
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime3")->BandFrom(), 10);
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime3")->BandTo(), 20);
    EXPECT_EQ(Control<QComboBox>(dialog, "NICSelect")->currentText(), "wlan0");
    EXPECT_TRUE(Control<QComboBox>(dialog, "NICSelect")->isEnabled());
    EXPECT_FALSE(Control<QCheckBox>(dialog, "UseIphlpapi")->isEnabled());
    EXPECT_FALSE(Control<QComboBox>(dialog, "LogoPos")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(dialog, "DiskSpeedRange")->text().right(12), "133.0MB/sec");
    EXPECT_EQ(Control<QLineEdit>(dialog, "NetSpeedRange")->text(), "Auto");
    EXPECT_EQ(Control<QListWidget>(dialog, "ResUnitSelect")->currentItem()->text(), "English");
    EXPECT_FALSE(Control<QLineEdit>(dialog, "SEStart")->property("FileMissing").toBool());
    EXPECT_TRUE(Control<QLineEdit>(dialog, "SEChangeSkin")->property("FileMissing").toBool());
    EXPECT_EQ(Control<QLabel>(dialog, "SSTPInfos")->text(), "SSTP : Connection Refused");

    Control<QSlider>(dialog, "PInterval")->setValue(30);
    Control<QRadioButton>(dialog, "PerfRate4")->setChecked(true);
    Control<QCheckBox>(dialog, "AWTop")->setChecked(false);
    Control<QSlider>(dialog, "GateTime3")->setValue(2); // pulls the other two down
    EXPECT_EQ(Control<TBandSlider>(dialog, "GateTime2")->BandFrom(), 2);
    EXPECT_TRUE(Control<TBandSlider>(dialog, "GateTime3")->BandRect().isEmpty());
    Control<QLineEdit>(dialog, "SEChangeSkin")->setText("sounds/start.wav");
    EXPECT_FALSE(Control<QLineEdit>(dialog, "SEChangeSkin")->property("FileMissing").toBool());
    TSettings saved = settings;
    dialog.Save(saved);
    EXPECT_EQ(saved.PingRate, 300);
    EXPECT_EQ(saved.PerfRate, 4);
    EXPECT_FALSE(saved.AlwaysTop);
    EXPECT_EQ(saved.PingGT1, 20);
    EXPECT_EQ(saved.PingGT2, 20);
    EXPECT_EQ(saved.PingGT3, 20);
    EXPECT_EQ(saved.EventSound.pSKIN, "sounds/start.wav");
    EXPECT_EQ(saved.NTTargetNIC, "wlan0");
    EXPECT_EQ(saved.DRange, 4);
    // What the dialog did not change comes back as it was.
    TSettings unchanged = settings;
    TOptionForm again(context, dialogs);
    again.Load(unchanged);
    TSettings copy = unchanged;
    again.Save(copy);
    EXPECT_EQ(copy.PingRate, settings.PingRate);
    EXPECT_EQ(copy.WaitTime, settings.WaitTime);
    EXPECT_EQ(copy.DRangeV, settings.DRangeV);
    EXPECT_EQ(copy.LogoPosition, settings.LogoPosition);
}

TEST_F(OptionsDialog, AGoneInterfaceClearsTheChoice)
{
    settings.NTTargetNIC = "eth9";
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    EXPECT_FALSE(settings.NTMultiNIC);
    EXPECT_FALSE(Control<QCheckBox>(dialog, "MultiNICGrp")->isChecked());
    EXPECT_FALSE(Control<QComboBox>(dialog, "NICSelect")->isEnabled());
    Control<QCheckBox>(dialog, "MultiNICGrp")->setChecked(true);
    EXPECT_EQ(Control<QComboBox>(dialog, "NICSelect")->currentText(), "eth0");
}

TEST_F(OptionsDialog, AHugeCustomRangeDoesNotOverflow)
{
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    Control<QLineEdit>(dialog, "HDRangeV")->setText("9223372036854775807");
    Control<QLineEdit>(dialog, "NICRangeV")->setText("9007199254740992");
    TSettings saved = settings;
    dialog.Save(saved);
    EXPECT_EQ(saved.DRangeV, MaxCustomKib * 1024);
    EXPECT_EQ(saved.NRangeV, MaxCustomKib * 1024);
}

TEST_F(OptionsDialog, EachPictureOnItsOwnControl)
{
    const std::pair<const char*, const char*> placed[] = {
        {"Image2", "rl1.prs"}, {"Image3", "rm1.prs"}, {"Image5", "rm2.prs"}, {"Image4", "rm3.prs"}};
    for (const auto& [label, file] : placed)
        QFile::copy(QStringLiteral(PULSMIR_DATA_DIR "/") + file, folder.File(file));
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    for (const auto& [label, file] : placed) {
        const QImage expected =
            QImage(folder.File(file), "PNG").convertToFormat(QImage::Format_RGB32);
        const QImage shown = Control<QLabel>(dialog, label)
                                 ->pixmap()
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        EXPECT_FALSE(expected.isNull()) << file;
        EXPECT_EQ(shown, expected) << label << " should show " << file;
    }
    EXPECT_TRUE(Control<QLabel>(dialog, "Image1")->pixmap().isNull());
}

TEST_F(OptionsDialog, SoundFieldsKeepTheThemesColours)
{
    TOptionForm dialog(context, dialogs);
    QPalette dark = dialog.palette();
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dialog.setPalette(dark);
    settings.EventSound.pSKIN = "sounds\\start.wav"; // as written on Windows
    settings.EventSound.pMEM = "sounds/gone.wav";
    dialog.Load(settings);
    QLineEdit* found = Control<QLineEdit>(dialog, "SEChangeSkin");
    QLineEdit* missing = Control<QLineEdit>(dialog, "SEMemFull");
    EXPECT_FALSE(found->property("FileMissing").toBool());
    EXPECT_TRUE(missing->property("FileMissing").toBool());
    dialog.resize(dialog.sizeHint());
    const auto fieldColour = [](QLineEdit* edit) {
        const QImage image = edit->grab().toImage();
        return QColor(image.pixel(image.width() - 6, image.height() / 2));
    };
    EXPECT_LT(fieldColour(found).lightnessF(), 0.3); // no white field in a dark theme
    const QColor warning = fieldColour(missing);
    EXPECT_LT(warning.lightnessF(), 0.5);
    EXPECT_GT(warning.red(), warning.blue() + 40); // still told apart, in yellow
}

TEST_F(OptionsDialog, WaitTimesAreClampedAndTextIsRefused)
{
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    QLineEdit* wait = Control<QLineEdit>(dialog, "WaitTimes");
    wait->setText("45");
    dialog.WaitTimesExit();
    EXPECT_EQ(wait->text(), "30");
    wait->setText("1");
    dialog.WaitTimesExit();
    EXPECT_EQ(wait->text(), "2");
    wait->setText("soon");
    dialog.WaitTimesExit();
    EXPECT_EQ(wait->text(), "2");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("whole number of seconds"));
    TSettings saved = settings;
    dialog.Save(saved);
    EXPECT_EQ(saved.WaitTime, 2);
}

TEST_F(OptionsDialog, SpeedRangesSoundPickersAndPlay)
{
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    dialog.ChooseSpeedRanges = [](QWidget*, int& dRange, int& nRange, qint64& dKib, qint64&) {
        dRange = 99;
        dKib = 204800;
        nRange = 19;
        return true;
    };
    dialog.Button3Click();
    EXPECT_EQ(Control<QLineEdit>(dialog, "DiskSpeedRange")->text(), "204800KB/sec");
    EXPECT_EQ(Control<QLineEdit>(dialog, "NetSpeedRange")->text(), "128KB/sec");
    TSettings saved = settings;
    dialog.Save(saved);
    EXPECT_EQ(saved.DRange, 99);
    EXPECT_EQ(saved.DRangeV, 209'715'200);
    EXPECT_EQ(saved.NRange, 19);

    QString startedIn;
    dialog.ChooseSoundFile = [&](QWidget*, const QString& start) {
        startedIn = start;
        return folder.File("sounds/start.wav");
    };
    // An empty field looks among the shipped tones.
    dialog.Button4Click(0);
    EXPECT_EQ(startedIn, folder.File("sounds"));
    EXPECT_EQ(Control<QLineEdit>(dialog, "SEOnline")->text(), "sounds/start.wav");

    dialog.Test1Click(3);
    QElapsedTimer clock;
    clock.start();
    while (dialog.LWavePlay().Playing() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(folder.Read("OUT.raw"), WaveFiles::Samples(400));
}

TEST_F(OptionsDialog, SoundsSwitchedOnTakeTheShippedTonesAndASoundThatCannotPlayIsTold)
{
    context.DataFolders = {folder.Path(), PULSMIR_DATA_DIR};
    context.Audio = [] {
        return std::make_unique<AlsaAudioOut>(QStringLiteral("no_such_device_here"));
    };
    TOptionForm dialog(context, dialogs);
    dialog.Load(settings);
    Control<QCheckBox>(dialog, "SESw")->click();
    // Only the empty fields take the shipped tone; a file the user named stays, found or not.
    const std::pair<const char*, const char*> fields[] = {
        {"SEOnline", "sounds/online.wav"},     {"SEOffline", "sounds/offline.wav"},
        {"SEPinging", "sounds/ping.wav"},      {"SEStart", "sounds/start.wav"},
        {"SEChangeSkin", "sounds/gone.wav"},   {"SEMemFull", "sounds/memory.wav"},
        {"SEResAlart", "sounds/resources.wav"}};
    for (const auto& [name, file] : fields) {
        QLineEdit* edit = Control<QLineEdit>(dialog, name);
        EXPECT_EQ(edit->text(), file) << name;
        EXPECT_EQ(edit->property("FileMissing").toBool(), QString(file) == "sounds/gone.wav");
    }

    dialog.Test1Click(0);
    ASSERT_TRUE(RunUntil([&] { return !dialogs.boxes.empty(); }));
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("A sound could not be played.\r\nonline.wav: "))
        << qPrintable(dialogs.boxes[0].text);
}

TEST(SkinBannerPopup, ShowsForAboutTwoSecondsThenFadesAndResets)
{
    TempProgramFolder folder;
    TPopupBnrF banner(folder.Path());
    Bitmap24 picture(400, 80);
    banner.ShowBanner(picture, QPoint(100, 200));
    EXPECT_TRUE(banner.isVisible());
    EXPECT_EQ(banner.Counter(), 1);
    EXPECT_EQ(banner.pos(), QPoint(100, 200));
    EXPECT_EQ(banner.size(), QSize(198, 38));
    for (int tick = 0; tick < 9; ++tick)
        banner.Timer1Timer();
    EXPECT_EQ(banner.Counter(), 10);
    // A second switch while it shows: two more seconds.
    banner.ShowBanner(picture, QPoint(10, 20));
    EXPECT_EQ(banner.Counter(), 1);
    for (int tick = 0; tick < 10; ++tick)
        banner.Timer1Timer();
    EXPECT_TRUE(banner.Fading());
    EXPECT_TRUE(banner.isVisible());
    // The fade takes about half a second; a loaded machine may take longer.
    EXPECT_TRUE(RunUntil([&] { return !banner.isVisible(); }, 10000));
    EXPECT_EQ(banner.Counter(), 0);
    EXPECT_DOUBLE_EQ(banner.windowOpacity(), 1.0);
}

TEST(SkinBannerInformation, AClickOnTheBannerCloses)
{
    TempProgramFolder folder;
    TSkinBannerForm form(folder.Path());
    form.SetLines({"one", "two"});
    EXPECT_EQ(form.Memo1->toPlainText(), "one\ntwo");
    EXPECT_EQ(form.width(), 317);
    EXPECT_TRUE(form.Memo1->isReadOnly());
    form.show();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.BnImg, &release);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
}

TEST(BandSlider, TheBandIsHighlightedInTheChannelAndTheRestIsNot)
{
    TBandSlider slider;
    slider.setOrientation(Qt::Horizontal);
    slider.setRange(0, 20);
    slider.setTickPosition(QSlider::TicksBelow);
    slider.resize(220, 30);
    QPalette palette = slider.palette();
    palette.setColor(QPalette::Highlight, QColor(255, 0, 255));
    slider.setPalette(palette);
    slider.setValue(20); // the handle out of the way at the right end
    slider.SetBand(5, 10);

    const QRect band = slider.BandRect();
    ASSERT_FALSE(band.isEmpty());
    const QImage image = slider.grab().toImage();
    const int y = band.center().y();
    EXPECT_EQ(image.pixelColor(band.center()), QColor(255, 0, 255));
    EXPECT_EQ(image.pixelColor(band.left() + 1, y), QColor(255, 0, 255));
    // The band runs from where the handle stands at 5 to where it stands at 10.
    slider.SetBand(5, 15);
    EXPECT_EQ(slider.BandRect().left(), band.left());
    EXPECT_GT(slider.BandRect().width(), band.width() + band.width() / 2);
    const int past = band.right() + band.width() / 2;
    EXPECT_NE(image.pixelColor(past, y), QColor(255, 0, 255));
    EXPECT_NE(image.pixelColor(band.left() - band.width() / 2, y), QColor(255, 0, 255));

    // An empty band, or one wholly beyond the range, is not drawn.
    slider.SetBand(10, 10);
    EXPECT_TRUE(slider.BandRect().isEmpty());
    slider.SetBand(30, 40);
    EXPECT_TRUE(slider.BandRect().isEmpty());
    const QImage plain = slider.grab().toImage();
    EXPECT_NE(plain.pixelColor(band.center()), QColor(255, 0, 255));
}
