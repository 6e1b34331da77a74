#include "ui/STips.h"

#include <QLabel>
#include <QPalette>

TSTips::TSTips(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("STips"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);
    setAutoFillBackground(true);

    STip = new QLabel(this);
    STip->setObjectName(QStringLiteral("STip"));
    STip->setTextFormat(Qt::PlainText);
    STip->move(1, 1);
}

void TSTips::SetTipText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    // The snapshot's lines end in CR LF; the label breaks on LF alone.
    STip->setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    STip->adjustSize();
    resize(STip->width() + 2, STip->height() + 2);
}

QString TSTips::TipText() const
{
    return m_text;
}

void TSTips::ShowAt(QPoint topLeft)
{
    move(topLeft);
    show();
    raise();
}
