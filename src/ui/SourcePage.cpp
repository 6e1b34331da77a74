#include "ui/SourcePage.h"

#include "res/MRes.h"
#include "ui/ControlTexts.h"
#include "ui_SourcePage.h"

#include <QDir>
#include <QFileDialog>
#include <QUrl>

namespace {

const ControlText Texts[] = {
    {"SourceAddressLabel", "C0561", nullptr},    {"SourceAddress", nullptr, "C0562"},
    {"SourceCaFileLabel", "C0563", nullptr},     {"SourceCaFile", nullptr, "C0564"},
    {"SourceTokenFileLabel", "C0565", nullptr},  {"SourceTokenFile", nullptr, "C0566"},
    {"SourceUserLabel", "C0567", nullptr},       {"SourcePasswordFileLabel", "C0568", nullptr},
    {"SourcePasswordFile", nullptr, "C0569"},    {"SourceCaFileBrowse", "C0590", nullptr},
    {"SourceTokenFileBrowse", "C0590", nullptr}, {"SourcePasswordFileBrowse", "C0590", nullptr},
    {"SourceNextStart", "C0578", nullptr},       {"SourcePeriodLabel", "C0528", nullptr},
    {"SourcePeriod", nullptr, "C0529"},
};

QString FileOf(const QLineEdit* field)
{
    return QDir::fromNativeSeparators(field->text().trimmed());
}

} // namespace

TSourcePage::TSourcePage(QWidget* parent)
    : QWidget(parent), m_form(std::make_unique<Ui::SourcePage>())
{
    m_form->setupUi(this);
    m_form->SourceAddressWarning->hide();
    m_form->SourceAddress->setPlaceholderText(QStringLiteral("http://host:9100"));
    m_form->SourcePeriod->setRange(1, MaxSourcePeriod);
    ChooseFile = [](QWidget* parent, const QString& start) {
        return QFileDialog::getOpenFileName(parent, QString(), start);
    };
    OfferBrowse(m_form->SourceCaFileBrowse, m_form->SourceCaFile);
    OfferBrowse(m_form->SourceTokenFileBrowse, m_form->SourceTokenFile);
    OfferBrowse(m_form->SourcePasswordFileBrowse, m_form->SourcePasswordFile);
    connect(m_form->SourceAddress, &QLineEdit::textChanged, this, &TSourcePage::ShowAddressWarning);
}

TSourcePage::~TSourcePage() = default;

void TSourcePage::ApplyTexts(const TMRes& res)
{
    ApplyControlTexts(*this, res, Texts);
    m_res = &res;
    ShowAddressWarning();
}

void TSourcePage::Load(const TSettings& settings)
{
    m_form->SourceAddress->setText(settings.Source);
    m_form->SourceCaFile->setText(QDir::toNativeSeparators(settings.SourceCaFile));
    m_form->SourceTokenFile->setText(QDir::toNativeSeparators(settings.SourceTokenFile));
    m_form->SourceUser->setText(settings.SourceUser);
    m_form->SourcePasswordFile->setText(QDir::toNativeSeparators(settings.SourcePasswordFile));
    m_form->SourcePeriod->setValue(settings.SourcePeriod);
}

void TSourcePage::Save(TSettings& settings) const
{
    // A refused address leaves the one before in place rather than a source that cannot work.
    const QString address = m_form->SourceAddress->text().trimmed();
    if (Acceptable(address))
        settings.Source = address;
    settings.SourceCaFile = FileOf(m_form->SourceCaFile);
    settings.SourceTokenFile = FileOf(m_form->SourceTokenFile);
    settings.SourceUser = m_form->SourceUser->text().trimmed();
    settings.SourcePasswordFile = FileOf(m_form->SourcePasswordFile);
    settings.SourcePeriod = m_form->SourcePeriod->value();
}

bool TSourcePage::Acceptable(const QString& address)
{
    if (address.isEmpty())
        return true;
    const QUrl url(address, QUrl::StrictMode);
    // "prometheus+http://server:9090/?job=node" names a Prometheus server's query API.
    QString scheme = url.scheme().toLower();
    if (scheme.startsWith(u"prometheus+"))
        scheme = scheme.mid(11);
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

void TSourcePage::ShowAddressWarning()
{
    const bool refused = !Acceptable(m_form->SourceAddress->text().trimmed());
    if (refused)
        m_form->SourceAddressWarning->setText(TextOr(
            m_res, "C0577",
            QStringLiteral("The address must begin with http:// or https://; it is not kept.")));
    m_form->SourceAddressWarning->setVisible(refused);
}

void TSourcePage::OfferBrowse(QPushButton* browse, QLineEdit* field)
{
    connect(browse, &QPushButton::clicked, this, [this, field] {
        const QString current = FileOf(field);
        const QString chosen = ChooseFile(this, current.isEmpty() ? QDir::homePath() : current);
        if (!chosen.isEmpty())
            field->setText(QDir::toNativeSeparators(chosen));
    });
}
