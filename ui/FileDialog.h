#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every file dialog of the program goes through here, so that a test can answer it without a screen.
class FileDialog
{
public:
    // The chosen file name, or the empty text when the operator cancelled. selectedFilter is in and out.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                   const QString& filters, QString* selectedFilter);

    // Files to open, as many as the operator chose; none when cancelled.
    static QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& filters);

    // For tests: the next dialog is not shown and answers with this name (empty: cancelled).
    static void setNextFileName(const QString& fileName);
    static void setNextFileNames(const QStringList& fileNames);
};
