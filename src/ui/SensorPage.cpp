#include "ui/SensorPage.h"

#include "res/MRes.h"
#include "ui/SensorTexts.h"
#include "ui/ControlTexts.h"
#include "ui_SensorPage.h"

#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>
#include <cmath>

namespace {

// Captions and hints by control, as the other pages take them from the language file.
const ControlText Texts[] = {
    {"TempSensorLabel", "C0581", nullptr}, {"TempSensorSelect", nullptr, "C0583"},
    {"NoSensorLabel", "C0592", nullptr},   {"TempRangeLabel", "C0584", nullptr},
    {"TempRangeLow", nullptr, "C0585"},    {"TempRangeHigh", nullptr, "C0585"},
    {"TempRangeTo", "C0593", nullptr},     {"TempAlarmLabel", "C0586", nullptr},
    {"TempAlarm", nullptr, "C0587"},       {"DiskSpaceLabel", "C0588", nullptr},
    {"DiskSpacePath", nullptr, "C0589"},   {"DiskSpaceBrowse", "C0590", nullptr},
    {"GpuLabel", "C0570", nullptr},        {"GpuSelect", nullptr, "C0571"},
    {"FanLabel", "C0572", nullptr},        {"FanSelect", nullptr, "C0573"},
    {"FanMaxLabel", "C0574", nullptr},     {"FanMaxRpm", nullptr, "C0575"},
};

// Fills a choice of the automatic entry, then every item the system offers, then the one the
// settings name when the system does not offer it now (an unplugged disk, a card taken out),
// which stays chosen until changed.
struct Choice
{
    QString Label;
    QString Id;
};

void FillChoice(QComboBox* select, const QString& automatic, const std::vector<Choice>& offered,
                const QString& chosenId, const QString& missingMark)
{
    const QSignalBlocker quiet(select);
    select->clear();
    select->addItem(automatic, QString());
    for (const Choice& choice : offered)
        select->addItem(choice.Label, choice.Id);
    int index = chosenId.isEmpty() ? 0 : select->findData(chosenId);
    if (index < 0) {
        select->addItem(missingMark.isEmpty() ? chosenId
                                              : chosenId + QStringLiteral(" (") + missingMark + u')',
                        chosenId);
        index = select->count() - 1;
    }
    select->setCurrentIndex(index);
}

} // namespace

TSensorPage::TSensorPage(SensorSurvey survey, QWidget* parent)
    : QWidget(parent), m_form(std::make_unique<Ui::SensorPage>()), m_survey(std::move(survey))
{
    m_form->setupUi(this);
    for (QSpinBox* box : {m_form->TempRangeLow, m_form->TempRangeHigh, m_form->TempAlarm})
        box->setRange(MinTemperature, MaxTemperature);
    m_form->DiskSpaceWarning->hide();
    FillSensorChoices();
    connect(m_form->TempSensorSelect, &QComboBox::currentIndexChanged, this,
            [this] { m_chosenId = m_form->TempSensorSelect->currentData().toString(); });
    connect(m_form->GpuSelect, &QComboBox::currentIndexChanged, this,
            [this] { m_chosenGpu = m_form->GpuSelect->currentData().toString(); });
    connect(m_form->FanSelect, &QComboBox::currentIndexChanged, this,
            [this] { m_chosenFan = m_form->FanSelect->currentData().toString(); });
    m_form->FanMaxRpm->setRange(0, MaxFanMaxRpm);
    connect(m_form->TempRangeLow, &QSpinBox::valueChanged, this,
            [this] { KeepRangeOrdered(true); });
    connect(m_form->TempRangeHigh, &QSpinBox::valueChanged, this,
            [this] { KeepRangeOrdered(false); });
    ChooseFolder = [](QWidget* parent, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, QString(), start);
    };
    connect(m_form->DiskSpaceBrowse, &QPushButton::clicked, this, [this] {
        const QString current = m_form->DiskSpacePath->text();
        const QString chosen = ChooseFolder(this, current.isEmpty() ? QDir::homePath() : current);
        if (!chosen.isEmpty()) {
            m_form->DiskSpacePath->setText(QDir::toNativeSeparators(chosen));
            AskSurvey();
        }
    });
    connect(m_form->DiskSpacePath, &QLineEdit::editingFinished, this, &TSensorPage::AskSurvey);
    m_form->DiskSpacePath->setPlaceholderText(QDir::homePath());
}

TSensorPage::~TSensorPage() = default;

void TSensorPage::ApplyTexts(const TMRes& res)
{
    ApplyControlTexts(*this, res, Texts);
    m_res = &res;
    ShowSurvey(m_survey); // anew in the language's words
}

void TSensorPage::Load(const TSettings& settings)
{
    m_chosenId = settings.TempSensor;
    m_chosenGpu = settings.GpuId;
    m_chosenFan = settings.FanId;
    FillSensorChoices();
    m_form->FanMaxRpm->setValue(settings.FanMaxRpm);
    m_form->TempRangeLow->setValue(settings.TempRangeLow);
    m_form->TempRangeHigh->setValue(settings.TempRangeHigh);
    m_form->TempAlarm->setValue(settings.TempAlarm);
    m_form->DiskSpacePath->setText(QDir::toNativeSeparators(settings.DiskSpacePath));
    AskSurvey();
}

void TSensorPage::Save(TSettings& settings) const
{
    settings.TempSensor = m_chosenId;
    settings.GpuId = m_chosenGpu;
    settings.FanId = m_chosenFan;
    settings.FanMaxRpm = m_form->FanMaxRpm->value();
    settings.TempRangeLow = m_form->TempRangeLow->value();
    settings.TempRangeHigh = std::max(m_form->TempRangeHigh->value(), settings.TempRangeLow + 1);
    settings.TempAlarm = m_form->TempAlarm->value();
    settings.DiskSpacePath = QDir::fromNativeSeparators(m_form->DiskSpacePath->text().trimmed());
}

void TSensorPage::ShowSurvey(const SensorSurvey& survey)
{
    m_survey = survey;
    FillSensorChoices();
    // A survey of a path no longer shown is old news.
    const QString shown = QDir::fromNativeSeparators(m_form->DiskSpacePath->text().trimmed());
    if (survey.DiskPath != (shown.isEmpty() ? QDir::homePath() : shown))
        return;
    QString warning;
    if (survey.DiskAbsence == SensorAbsence::NotFound)
        warning = TextOr(m_res, "C0595", QStringLiteral("This folder does not exist."));
    else if (survey.DiskAbsence == SensorAbsence::NotAnswering)
        warning = TextOr(m_res, "C0596",
                         QStringLiteral("The file system of this folder does not answer."));
    else if (survey.DiskAbsence == SensorAbsence::NoValue)
        warning = TextOr(m_res, "C0597",
                         QStringLiteral("The used space of this folder cannot be read."));
    m_form->DiskSpaceWarning->setText(warning);
    m_form->DiskSpaceWarning->setVisible(!warning.isEmpty());
}

void TSensorPage::FillSensorChoices()
{
    const QLocale locale;
    const QString missing =
        m_survey.Done ? SensorAbsenceText(SensorAbsence::NotFound, m_res) : QString();
    const QString automaticWord = TextOr(m_res, "C0582", QStringLiteral("Automatic"));
    // "Automatic (k10temp Tctl: 57.5 °C)": the choice that follows the hardware.
    const auto automatic = [&](const std::optional<QString>& now) {
        return now ? automaticWord + QStringLiteral(" (") + *now + u')' : automaticWord;
    };

    const auto withValue = [&](const SensorSurvey::Sensor& s) {
        return s.Info.Label() + QStringLiteral(": ") +
               (s.Celsius ? CelsiusText(*s.Celsius, locale)
                          : SensorAbsenceText(SensorAbsence::NoValue, m_res));
    };
    std::vector<TemperatureSensorInfo> offered;
    std::vector<Choice> sensors;
    for (const SensorSurvey::Sensor& s : m_survey.Sensors) {
        offered.push_back(s.Info);
        sensors.push_back({withValue(s), s.Info.Id});
    }
    std::optional<QString> automaticSensor;
    if (const auto sensor = AutomaticTemperatureSensor(offered))
        for (const SensorSurvey::Sensor& s : m_survey.Sensors)
            if (s.Info.Id == sensor->Id)
                automaticSensor = withValue(s);
    FillChoice(m_form->TempSensorSelect, automatic(automaticSensor), sensors, m_chosenId, missing);
    m_form->NoSensorLabel->setVisible(m_survey.Done && m_survey.Sensors.empty());

    // "amdgpu/0000:03:00.0 AMD 0x73bf: 37 %", or asleep.
    const auto gpuText = [&](const GpuReading& gpu) {
        QString value = gpu.Asleep ? TextOr(m_res, "C0576", QStringLiteral("asleep"))
                        : gpu.LoadPercent ? locale.toString(std::lround(*gpu.LoadPercent)) + " %"
                                          : SensorAbsenceText(SensorAbsence::NoValue, m_res);
        return gpu.Label() + QStringLiteral(": ") + value;
    };
    std::vector<Choice> gpus;
    for (const GpuReading& gpu : m_survey.Gpus)
        gpus.push_back({gpuText(gpu), gpu.Id});
    const std::optional<GpuReading> busiest = ChosenGpu(m_survey.Gpus, QString());
    FillChoice(m_form->GpuSelect, automatic(busiest ? std::optional(gpuText(*busiest)) : std::nullopt),
               gpus, m_chosenGpu, missing);

    const auto fanText = [&](const FanReading& fan) {
        return fan.Label + QStringLiteral(": ") +
               (fan.Rpm ? locale.toString(std::lround(*fan.Rpm)) + QStringLiteral(" rpm")
                        : SensorAbsenceText(SensorAbsence::NoValue, m_res));
    };
    std::vector<Choice> fans;
    for (const FanReading& fan : m_survey.Fans)
        fans.push_back({fanText(fan), fan.Id});
    const std::optional<FanReading> processorFan = AutomaticFan(m_survey.Fans);
    FillChoice(m_form->FanSelect,
               automatic(processorFan ? std::optional(fanText(*processorFan)) : std::nullopt), fans,
               m_chosenFan, missing);
}

void TSensorPage::AskSurvey()
{
    if (SurveyWanted)
        SurveyWanted(QDir::fromNativeSeparators(m_form->DiskSpacePath->text().trimmed()));
}

void TSensorPage::KeepRangeOrdered(bool lowMoved)
{
    // The meter needs a range: the top stays above the bottom whichever of the two moves.
    QSpinBox* low = m_form->TempRangeLow;
    QSpinBox* high = m_form->TempRangeHigh;
    if (high->value() > low->value())
        return;
    if (lowMoved && low->value() < MaxTemperature)
        high->setValue(low->value() + 1);
    else
        low->setValue(high->value() - 1);
}
