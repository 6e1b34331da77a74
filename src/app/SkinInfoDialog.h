#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The skin information window: the memo of what the current skin is and supports.
void ShowSkinInfoDialog(QWidget* parent, const QString& caption, const QStringList& lines);
