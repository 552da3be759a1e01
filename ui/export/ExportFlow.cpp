#include "ExportFlow.h"

#include "store/export/Export.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Product.h"
#include "ui/StoreJob.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace ExportFlow {

void run(QWidget* parent, Store& store, const QString& subtreeCode)
{
    const QString workbook = u"Excel 工作簿 (*.xlsx)"_s;
    const QString csv = u"CSV 文件 UTF-8 (*.csv)"_s;
    QString filter = workbook;
    QString fileName
        = FileDialog::getSaveFileName(parent, u"导出关键词"_s, u"关键词.xlsx"_s, workbook + u";;"_s + csv, &filter);
    if (fileName.isEmpty())
        return;
    // A suffix the operator typed wins; otherwise the chosen filter decides, and the dialog, which checked the
    // name as typed, has not asked about the file with the suffix added.
    const bool typedSuffix
        = fileName.endsWith(u".csv"_s, Qt::CaseInsensitive) || fileName.endsWith(u".xlsx"_s, Qt::CaseInsensitive);
    const Export::Format format
        = typedSuffix ? Export::formatOf(fileName) : (filter == csv ? Export::Format::Csv : Export::Format::Xlsx);
    if (!typedSuffix) {
        fileName += format == Export::Format::Csv ? u".csv"_s : u".xlsx"_s;
        if (QFileInfo::exists(fileName)
            && MessageBox::show(parent, QDir::toNativeSeparators(fileName) + u" 已存在。\n要替换它吗？"_s,
                                productTitle(), MessageBox::Icon::Exclamation, MessageBox::Buttons::YesNo,
                                MessageBox::Answer::No)
                != MessageBox::Answer::Yes)
            return;
    }
    // The grid's own subtree, read from the store as it is written; with no class loaded, only the header.
    StoreJob job(store, u"正在导出关键词…"_s, parent);
    bool complete = true;
    const Status written = job.run([&](Store& own, const std::atomic<bool>& cancel, const StoreJob::Report& report) {
        const auto done = Export::writeSubtree(own, subtreeCode, fileName, format, {report, &cancel});
        complete = done && *done;
        return Status::of(done);
    });
    const QString shownName = QDir::toNativeSeparators(fileName);
    if (!written)
        MessageBox::inform(parent, u"导出失败，文件未写入："_s + shownName + u'\n' + written.error());
    else if (!complete)
        MessageBox::inform(parent, u"导出已取消，文件未写入："_s + shownName);
}

} // namespace ExportFlow
