#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The product's title: the main window's caption and that of every message without a title of its own.
QString productTitle();
QIcon productIcon();
// The product's icon at a size, in pixels.
QPixmap productPixmap(int size);
// A Chinese font of the given family, falling back to a CJK font the machine has when that family is missing.
QFont chineseFont(const QString& family, qreal pointSize, int weight);
// Qt's own texts (the standard buttons of message boxes, the file dialogs) in the interface's language, Simplified
// Chinese, as the system's own dialogs show them; false when the machine has no translation of them.
bool installQtTranslations();
