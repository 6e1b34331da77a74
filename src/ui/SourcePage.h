#pragma once

#include "settings/Settings.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;
class TMRes;
namespace Ui {
class SourcePage;
}

// The options page of where the figures come from: this machine, or another one's exporter
// with the files that hold its credentials. An address that is not http(s) is warned about and
// not kept. The window reads its source when it starts, so a change waits for the next start.
class TSourcePage : public QWidget
{
    Q_OBJECT

public:
    explicit TSourcePage(QWidget* parent = nullptr);
    ~TSourcePage() override;

    void ApplyTexts(const TMRes& res);
    void Load(const TSettings& settings);
    void Save(TSettings& settings) const;

    // Whether an address may be a source: empty (this machine) or an http(s) URL with a host.
    static bool Acceptable(const QString& address);

    // Asks for a file, starting in one; empty when cancelled.
    std::function<QString(QWidget* parent, const QString& start)> ChooseFile;

private:
    void ShowAddressWarning();
    void OfferBrowse(QPushButton* browse, QLineEdit* field);

    std::unique_ptr<Ui::SourcePage> m_form;
    const TMRes* m_res = nullptr;
};
