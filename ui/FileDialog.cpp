#include "FileDialog.h"

#include <QFileDialog>

#include <optional>

namespace {
std::optional<QString>& nextFileName()
{
    static std::optional<QString> name;
    return name;
}
} // namespace

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                    const QString& filters, QString* selectedFilter)
{
    if (std::optional<QString>& next = nextFileName(); next.has_value())
        return std::exchange(next, std::nullopt).value();
    return QFileDialog::getSaveFileName(parent, caption, fileName, filters, selectedFilter);
}

void FileDialog::setNextFileName(const QString& fileName)
{
    nextFileName() = fileName;
}

namespace {
std::optional<QStringList>& nextFileNames()
{
    static std::optional<QStringList> names;
    return names;
}
} // namespace

QStringList FileDialog::getOpenFileNames(QWidget* parent, const QString& caption, const QString& filters)
{
    if (std::optional<QStringList>& next = nextFileNames(); next.has_value())
        return std::exchange(next, std::nullopt).value();
    return QFileDialog::getOpenFileNames(parent, caption, QString(), filters);
}

void FileDialog::setNextFileNames(const QStringList& fileNames)
{
    nextFileNames() = fileNames;
}
