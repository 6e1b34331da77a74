#pragma once

#include "skin/Bitmap24.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;

// The pop-up that shows a skin's banner for about two seconds at a skin switch, then fades.
class TPopupBnrF : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ClientWidth = 198;
    static constexpr int ClientHeight = 38;

    // The default banner is the picture shown when no skin has brought one ("rl4.prs").
    explicit TPopupBnrF(QString defaultBannerFile, QWidget* parent = nullptr);

    // Shows the banner at the position, for two more seconds when it already shows.
    void ShowBanner(const Bitmap24& banner, QPoint position);
    // Counter 0, the default banner, full opacity.
    void FormCreate();
    void Timer1Timer();

    // 0 idle, 1 just shown, 2..10 showing.
    int Counter() const { return m_counter; }
    bool Fading() const { return m_fade.isActive(); }
    QLabel* BnImg = nullptr;

private:
    void FadeStep();
    void SetAlpha(int alpha);

    QString m_defaultBannerFile;
    QTimer m_timer;
    QTimer m_fade;
    int m_counter = 0;
    int m_fadeStep = 0;
};
