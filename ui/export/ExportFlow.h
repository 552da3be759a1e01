#pragma once

#include <QString>

class QWidget;
class Store;

// 导出关键词: the operator names a file, and the keywords of a subtree are written to it, on a thread with its
// own connection, with progress and 取消.
namespace ExportFlow {

void run(QWidget* parent, Store& store, const QString& subtreeCode);

} // namespace ExportFlow
