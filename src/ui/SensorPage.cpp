#include "ui/SensorPage.h"

#include "res/MRes.h"
#include "ui/ControlTexts.h"
#include "ui_SensorPage.h"

#include <QDir>
#include <QFileDialog>

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

TSensorPage::TSensorPage(std::vector<TemperatureSensorInfo> sensors, QString automatic,
                         QWidget* parent)
    : QWidget(parent), m_form(std::make_unique<Ui::SensorPage>()), m_sensors(std::move(sensors)),
      m_automatic(std::move(automatic))
{
    m_form->setupUi(this);
    for (QSpinBox* box : {m_form->TempRangeLow, m_form->TempRangeHigh, m_form->TempAlarm})
        box->setRange(MinTemperature, MaxTemperature);
    m_form->TempSensorSelect->addItem(QString(), QString());
    for (const TemperatureSensorInfo& sensor : m_sensors)
        m_form->TempSensorSelect->addItem(sensor.Label(), sensor.Id);
    m_form->NoSensorLabel->setVisible(m_sensors.empty());
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
        if (!chosen.isEmpty())
            m_form->DiskSpacePath->setText(QDir::toNativeSeparators(chosen));
    });
    m_form->DiskSpacePath->setPlaceholderText(QDir::homePath());
}

TSensorPage::~TSensorPage() = default;

void TSensorPage::ApplyTexts(const TMRes& res)
{
    ApplyControlTexts(*this, res, Texts);
    // "Automatic (k10temp Tctl)": the choice that follows the hardware.
    const QString automatic = res.GetText(QStringLiteral("C0582"));
    m_form->TempSensorSelect->setItemText(
        0,
        m_automatic.isEmpty() ? automatic : automatic + QStringLiteral(" (") + m_automatic + u')');
}

void TSensorPage::Load(const TSettings& settings)
{
    QComboBox* select = m_form->TempSensorSelect;
    int index = select->findData(settings.TempSensor);
    if (index < 0 && !settings.TempSensor.isEmpty()) {
        // A sensor that is not there now (an unplugged disk) stays chosen until changed.
        m_unknownId = settings.TempSensor;
        select->addItem(settings.TempSensor, settings.TempSensor);
        index = select->count() - 1;
    }
    select->setCurrentIndex(std::max(index, 0));
    m_form->TempRangeLow->setValue(settings.TempRangeLow);
    m_form->TempRangeHigh->setValue(settings.TempRangeHigh);
    m_form->TempAlarm->setValue(settings.TempAlarm);
    m_form->DiskSpacePath->setText(QDir::toNativeSeparators(settings.DiskSpacePath));
}

void TSensorPage::Save(TSettings& settings) const
{
    settings.TempSensor = m_form->TempSensorSelect->currentData().toString();
    settings.TempRangeLow = m_form->TempRangeLow->value();
    settings.TempRangeHigh = std::max(m_form->TempRangeHigh->value(), settings.TempRangeLow + 1);
    settings.TempAlarm = m_form->TempAlarm->value();
    settings.DiskSpacePath = QDir::fromNativeSeparators(m_form->DiskSpacePath->text().trimmed());
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
