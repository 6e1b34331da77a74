#pragma once

#include <QWidget>

class QLabel;

// The status tips window: borderless, one label in the desktop's tip colours, as large as its
// text. It never takes the focus.
class TSTips : public QWidget
{
    Q_OBJECT

public:
    explicit TSTips(QWidget* parent = nullptr);

    // Sets the text when it differs, and then fits the window to the label + 2 pixels.
    void SetTipText(const QString& text);
    QString TipText() const;
    // Shows the window at a screen position, above others, without activating it.
    void ShowAt(QPoint topLeft);

    QLabel* STip = nullptr;

private:
    QString m_text;
};
