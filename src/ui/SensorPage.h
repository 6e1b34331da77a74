#pragma once

#include "core/SensorReadings.h"
#include "settings/Settings.h"

#include <QWidget>
#include <functional>
#include <memory>

class TMRes;
namespace Ui {
class SensorPage;
}

// The options page of the sensors: which temperature sensor, the range the temperature meter
// spans and its alarm level, the file system whose space is shown, the graphics card and the
// fan, and the speed the fan's meter spans. Each sensor is offered
// with its value, a chosen one that is gone is marked so, and a disk-space path that cannot be
// read is warned about. What it shows comes from surveys taken off the window's thread.
class TSensorPage : public QWidget
{
    Q_OBJECT

public:
    explicit TSensorPage(SensorSurvey survey = {}, QWidget* parent = nullptr);
    ~TSensorPage() override;

    void ApplyTexts(const TMRes& res);
    void Load(const TSettings& settings);
    void Save(TSettings& settings) const;
    // A fresh look at the sensors, and at the disk-space path it names.
    void ShowSurvey(const SensorSurvey& survey);

    // Asks for a folder, starting in one; empty when cancelled.
    std::function<QString(QWidget* parent, const QString& start)> ChooseFolder;
    // Asks for a survey with the path shown (empty: the home folder), when the page is loaded
    // and whenever the path is changed.
    std::function<void(const QString& diskPath)> SurveyWanted;

private:
    void FillSensorChoices();
    void AskSurvey();
    void KeepRangeOrdered(bool lowMoved);

    std::unique_ptr<Ui::SensorPage> m_form;
    SensorSurvey m_survey;
    const TMRes* m_res = nullptr;
    // Kept as chosen even while the system does not offer them.
    QString m_chosenId;
    QString m_chosenGpu;
    QString m_chosenFan;
};
