#pragma once

#include <QString>

class QWidget;
class Store;

// 导出关键词: the operator names a file (a workbook or a CSV file), and the keywords of the grid's subtree are
// written to it on a thread, with progress and 取消.
namespace ExportFlow {

// subtreeCode: the class whose subtree the grid shows; empty when it shows none (the file then holds the header).
void run(QWidget* parent, Store& store, const QString& subtreeCode);

} // namespace ExportFlow
