#pragma once

#include "skin/Bitmap24.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;

// The skin information: the skin's banner in a bevel atop a read-only memo. A click on the
// banner, or another window becoming active, closes it.
class TSkinBannerForm : public QDialog
{
    Q_OBJECT

public:
    // The default banner is shown until a skin's is set ("rl4.prs").
    explicit TSkinBannerForm(const QString& defaultBannerFile, QWidget* parent = nullptr);

    void SetBanner(const Bitmap24& banner);
    void SetLines(const QStringList& lines);
    // Centred on the desktop.
    void Center();

    QLabel* BnImg = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    void FormDeactivate();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
