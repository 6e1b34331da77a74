#pragma once

#include <QObject>
#include <functional>

class QScreen;
class QWidget;

// Tells a window's owner that the window's device pixel ratio changed while it runs: its
// screen's scale changed, or it went to a screen of another scale. Qt draws widgets at the new
// ratio by itself, but a face drawn at a whole number of screen pixels per pixel has to be laid
// out again.
class TScaleWatch : public QObject
{
public:
    TScaleWatch(QWidget& window, std::function<void(double ratio)> changed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QScreen* screen);
    // Queued: Qt updates the ratio after the signals and events that announce a change.
    void CheckLater();
    void Check();

    QWidget& m_window;
    std::function<void(double)> m_changed;
    double m_ratio;
    bool m_checkPending = false;
};
