#pragma once

#include "platform/Sensors.h"
#include "settings/Settings.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class TMRes;
namespace Ui {
class SensorPage;
}

// The options page of the sensors: which temperature sensor, the range the temperature meter
// spans and its alarm level, and the file system whose space is shown.
class TSensorPage : public QWidget
{
    Q_OBJECT

public:
    // sensors: what the system offers; automatic: the label of the automatic choice, empty
    // when there is none.
    TSensorPage(std::vector<TemperatureSensorInfo> sensors, QString automatic,
                QWidget* parent = nullptr);
    ~TSensorPage() override;

    void ApplyTexts(const TMRes& res);
    void Load(const TSettings& settings);
    void Save(TSettings& settings) const;

    // Asks for a folder, starting in one; empty when cancelled.
    std::function<QString(QWidget* parent, const QString& start)> ChooseFolder;

private:
    void KeepRangeOrdered(bool lowMoved);

    std::unique_ptr<Ui::SensorPage> m_form;
    std::vector<TemperatureSensorInfo> m_sensors;
    QString m_automatic;
    QString m_unknownId; // a chosen sensor the system does not offer now; kept as chosen
};
