#pragma once

#include "store/Result.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QProgressDialog;
class QWidget;
class Store;

// Long work on the store (a keyword batch, an export) runs on a thread of its own, over a connection of its
// own, so that the windows keep repainting. Meanwhile no window takes input: keys and clicks are dropped, and
// closing any window asks the work to stop, as does the 取消 button of the progress window that appears when
// the work takes longer than half a second. The work stops at a point of its own choosing.
class StoreJob : public QObject
{
    Q_OBJECT
public:
    // Reports how far the work has come: done out of total.
    using Report = std::function<void(qint64 done, qint64 total)>;
    using Work = std::function<Status(Store& store, const std::atomic<bool>& cancel, const Report& report)>;
    // Work that needs no store (reading a large file).
    using PlainWork = std::function<Status(const std::atomic<bool>& cancel, const Report& report)>;

    StoreJob(const Store& store, const QString& label, QWidget* parent);
    StoreJob(const QString& label, QWidget* parent);
    ~StoreJob() override;

    // Runs work to its end and gives what it returned; the caller waits, the event loop runs.
    Status run(const Work& work);
    Status run(const PlainWork& work);
    // Whether the operator asked the work to stop.
    bool cancelRequested() const { return m_cancel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void progress(qint64 done, qint64 total);

    QString m_location;
    QString m_label;
    QWidget* m_parent;
    QProgressDialog* m_dialog = nullptr;
    std::atomic<bool> m_cancel {false};
};
