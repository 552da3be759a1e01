#include "ExportFlow.h"

#include "store/Store.h"
#include "store/export/Export.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Product.h"
#include "ui/StoreJob.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace ExportFlow {

namespace {

// Whether the operator lets a file that exists be replaced.
bool mayReplace(QWidget* parent, const QString& fileName)
{
    return !QFileInfo::exists(fileName)
        || MessageBox::show(parent, u"%1 已存在。\n要替换它吗？"_s.arg(QDir::toNativeSeparators(fileName)),
                            productTitle(), MessageBox::Icon::Exclamation, MessageBox::Buttons::YesNo,
                            MessageBox::Answer::No)
        == MessageBox::Answer::Yes;
}

} // namespace

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
    Export::Format format
        = typedSuffix ? Export::formatOf(fileName) : (filter == csv ? Export::Format::Csv : Export::Format::Xlsx);
    if (!typedSuffix) {
        fileName += format == Export::Format::Csv ? u".csv"_s : u".xlsx"_s;
        if (!mayReplace(parent, fileName))
            return;
    }
    // A sheet holds a million rows: a larger subtree is offered a CSV file of the same name before anything is
    // written.
    if (format == Export::Format::Xlsx && !subtreeCode.isEmpty()) {
        const auto count = store.subtreeCount(subtreeCode);
        if (count && *count > Export::MaxWorkbookKeywords) {
            const QString offer = u"这个分类有 %1 个关键词，超过 Excel 工作表能容纳的 %2 个（另有一行列名）。\n"
                                  u"要改为导出 CSV 文件吗？"_s.arg(QString::number(*count),
                                                                   QString::number(Export::MaxWorkbookKeywords));
            if (MessageBox::show(parent, offer, productTitle(), MessageBox::Icon::Exclamation,
                                 MessageBox::Buttons::YesNo, MessageBox::Answer::Yes)
                != MessageBox::Answer::Yes)
                return;
            fileName = QFileInfo(fileName).dir().filePath(QFileInfo(fileName).completeBaseName() + u".csv"_s);
            format = Export::Format::Csv;
            if (!mayReplace(parent, fileName))
                return;
        }
    }
    // The grid's own subtree, read from the store as it is written; with no class loaded, only the header.
    StoreJob job(store, u"正在导出关键词…"_s, parent);
    bool complete = true;
    const Status written = job.run([&](Store& on, const std::atomic<bool>& cancel, const StoreJob::Report& report) {
        const auto done = Export::writeSubtree(on, subtreeCode, fileName, format, {report, &cancel});
        complete = done && *done;
        return Status::of(done);
    });
    if (!written)
        MessageBox::inform(parent,
                           u"导出失败，文件未写入：%1\n%2"_s.arg(QDir::toNativeSeparators(fileName), written.error()));
    else if (!complete)
        MessageBox::inform(parent, u"导出已取消，文件未写入：%1"_s.arg(QDir::toNativeSeparators(fileName)));
}

} // namespace ExportFlow
