#include "ui/SensorPage.h"

#include "res/MRes.h"
#include "ui/SensorTexts.h"
#include "ui/ControlTexts.h"
#include "ui_SensorPage.h"

#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>

namespace {

// Captions and hints by control, as the other pages take them from the language file.
const ControlText Texts[] = {
    {"TempSensorLabel", "C0581", nullptr}, {"TempSensorSelect", nullptr, "C0583"},
    {"NoSensorLabel", "C0592", nullptr},   {"TempRangeLabel", "C0584", nullptr},
    {"TempRangeLow", nullptr, "C0585"},    {"TempRangeHigh", nullptr, "C0585"},
    {"TempRangeTo", "C0593", nullptr},     {"TempAlarmLabel", "C0586", nullptr},
    {"TempAlarm", nullptr, "C0587"},       {"DiskSpaceLabel", "C0588", nullptr},
    {"DiskSpacePath", nullptr, "C0589"},   {"DiskSpaceBrowse", "C0590", nullptr},
};

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
    FillSensorChoices();
    m_form->TempRangeLow->setValue(settings.TempRangeLow);
    m_form->TempRangeHigh->setValue(settings.TempRangeHigh);
    m_form->TempAlarm->setValue(settings.TempAlarm);
    m_form->DiskSpacePath->setText(QDir::toNativeSeparators(settings.DiskSpacePath));
    AskSurvey();
}

void TSensorPage::Save(TSettings& settings) const
{
    settings.TempSensor = m_chosenId;
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
    QComboBox* select = m_form->TempSensorSelect;
    const QSignalBlocker quiet(select);
    select->clear();
    const QLocale locale;
    const auto withValue = [&](const SensorSurvey::Sensor& s) {
        return s.Info.Label() + QStringLiteral(": ") +
               (s.Celsius ? CelsiusText(*s.Celsius, locale)
                          : SensorAbsenceText(SensorAbsence::NoValue, m_res));
    };
    // "Automatic (k10temp Tctl: 57.5 °C)": the choice that follows the hardware.
    std::vector<TemperatureSensorInfo> offered;
    for (const SensorSurvey::Sensor& s : m_survey.Sensors)
        offered.push_back(s.Info);
    QString automatic = TextOr(m_res, "C0582", QStringLiteral("Automatic"));
    if (const auto sensor = AutomaticTemperatureSensor(offered))
        for (const SensorSurvey::Sensor& s : m_survey.Sensors)
            if (s.Info.Id == sensor->Id)
                automatic += QStringLiteral(" (") + withValue(s) + u')';
    select->addItem(automatic, QString());
    for (const SensorSurvey::Sensor& s : m_survey.Sensors)
        select->addItem(withValue(s), s.Info.Id);
    int index = m_chosenId.isEmpty() ? 0 : select->findData(m_chosenId);
    if (index < 0) {
        // A sensor that is not there now (an unplugged disk) stays chosen until changed.
        QString text = m_chosenId;
        if (m_survey.Done)
            text += QStringLiteral(" (") + SensorAbsenceText(SensorAbsence::NotFound, m_res) + u')';
        select->addItem(text, m_chosenId);
        index = select->count() - 1;
    }
    select->setCurrentIndex(index);
    m_form->NoSensorLabel->setVisible(m_survey.Done && m_survey.Sensors.empty());
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
