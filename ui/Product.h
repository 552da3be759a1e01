#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

// The product's title: the main window's caption and that of every message without a title of its own.
QString productTitle();
QIcon productIcon();
// A Chinese font of the given family, falling back to a CJK font the machine has when that family is missing.
QFont chineseFont(const QString& family, qreal pointSize, int weight);
