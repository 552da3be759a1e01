#pragma once

#include "Export.h"

#include <QVariantList>

#include <memory>

namespace Export {

// Where rows go: a row at a time, then finish (the file takes its place) or nothing at all.
class Writer
{
public:
    virtual ~Writer() = default;
    // A cell is a number when it holds a qint64 or a double, blank when invalid, else text.
    virtual Status row(const QVariantList& cells) = 0;
    virtual Status finish() = 0;
};

// A writer of the format, into a file beside fileName that takes its place when finished.
Result<std::unique_ptr<Writer>> openWriter(const QString& fileName, Format format);

} // namespace Export
