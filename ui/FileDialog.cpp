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
