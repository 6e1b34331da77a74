// The inputs of the graphics card, the fan and the text values, as a frame gets them.
#include "app/MachineInputs.h"

#include "settings/Settings.h"

#include <gtest/gtest.h>

namespace {

constexpr int None = SkinRenderInputs::NoSensorValue;

SensorReadings Machine()
{
    SensorReadings sensors;
    GpuReading gpu;
    gpu.Id = "amdgpu/0000:0b:00.0";
    gpu.Model = "AMD 0x73bf";
    gpu.LoadPercent = 37.4;
    gpu.MemoryUsedBytes = 2e9;
    gpu.MemoryTotalBytes = 16e9;
    gpu.Celsius = 65.5;
    sensors.Gpu = gpu;
    sensors.Fan = FanReading{"nct6798/fan2", "nct6798 CPU FAN", 1500, 3000};
    sensors.Temperature = 54;
    sensors.TemperatureSensor = "k10temp Tctl";
    return sensors;
}

} // namespace

TEST(MachineInputs, TheCardAndFanAsPercentsAndPositionsAndASleepingCardAsMissing)
{
    TSettings settings;
    settings.TempRangeLow = 30;
    settings.TempRangeHigh = 100;
    SkinRenderInputs in;
    SensorReadings sensors = Machine();
    FillGpuAndFanInputs(sensors, settings, in);
    EXPECT_EQ(in.GpuLoad, 37);
    EXPECT_EQ(in.GpuMemoryLoad, 13); // 2 of 16 GB
    EXPECT_EQ(in.GpuTemperature, 66);
    EXPECT_EQ(in.GpuTempPos, 51);
    EXPECT_EQ(in.FanRpm, 1500);
    EXPECT_EQ(in.FanPos, 50); // of the driver's top speed
    settings.FanMaxRpm = 6000;
    FillGpuAndFanInputs(sensors, settings, in);
    EXPECT_EQ(in.FanPos, 25);

    sensors.Gpu->Asleep = true;
    sensors.Fan.reset();
    FillGpuAndFanInputs(sensors, settings, in);
    for (int value : {in.GpuLoad, in.GpuMemoryLoad, in.GpuTemperature, in.GpuTempPos, in.FanRpm,
                      in.FanPos})
        EXPECT_EQ(value, None);
}

TEST(MachineInputs, TextValuesWithTheBusiestProcessesAndEmptyForWhatIsNotKnown)
{
    const SensorReadings sensors = Machine();
    const std::vector<ProcessShare> processes = {{"firefox", 2314, 23.45}, {"cc1plus", 99, 7}};
    SkinRenderInputs in;
    FillTextValues({&sensors, &processes, "workstation", "6.1.0", "192.0.2.7",
                    3 * 86400 + 4 * 3600 + 5 * 60 + 59, QTime(9, 7), QLocale::c()},
                   in);
    const auto text = [&](SkinTextValue value) { return in.Texts[std::size_t(value)]; };
    EXPECT_EQ(text(SkinTextValue::Host), "workstation");
    EXPECT_EQ(text(SkinTextValue::Uptime), "3 d 04:05");
    EXPECT_EQ(text(SkinTextValue::Time), "09:07");
    EXPECT_EQ(text(SkinTextValue::GpuName), "AMD 0x73bf");
    EXPECT_EQ(text(SkinTextValue::TempName), "k10temp Tctl");
    EXPECT_EQ(text(SkinTextValue::BatteryState), ""); // no battery
    EXPECT_EQ(text(SkinTextValue::Proc1Name), "firefox");
    EXPECT_EQ(text(SkinTextValue::Proc1Share), "23.4 %");
    EXPECT_EQ(text(SkinTextValue::Proc2Share), "7.0 %");
    EXPECT_EQ(text(SkinTextValue::Proc3Name), "");

    FillTextValues({nullptr, nullptr, {}, {}, {}, 4 * 3600 + 5 * 60, QTime(), QLocale::c()}, in);
    EXPECT_EQ(text(SkinTextValue::Uptime), "4:05");
    EXPECT_EQ(text(SkinTextValue::Time), "");
    EXPECT_EQ(text(SkinTextValue::Proc1Name), "");
}
