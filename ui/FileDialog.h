#pragma once

#include <QString>

class QWidget;

// Every file dialog of the program goes through here, so that a test can answer it without a screen.
class FileDialog
{
public:
    // The chosen file name, or the empty text when the operator cancelled. selectedFilter is in and out.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                   const QString& filters, QString* selectedFilter);

    // For tests: the next dialog is not shown and answers with this name (empty: cancelled).
    static void setNextFileName(const QString& fileName);
};
