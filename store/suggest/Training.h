#pragma once

#include "store/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class Store;
class Suggester;

namespace Training {

// A model learnt from what the store holds filed (the newest million keywords at most), sharpened and calibrated
// on a sample of the unsorted ones: the heavy work, for a worker thread or the command line. Nothing when stop
// was set before it ended.
Result<std::shared_ptr<Suggester>> learnt(Store& store, const std::atomic<bool>* stop = nullptr);

// An unsorted keyword and its likeliest class among the subtrees of one level: the subtree's index (-1 when no
// class of the level has learnt anything) and how sure the model is that the keyword lies in that subtree.
struct Scored
{
    qint64 id = 0;
    QString keyword;
    int target = -1;
    double confidence = 0;
};

// Scores every unsorted keyword, by id, among subtrees on every processor, handing each batch over in id order;
// progress gets how many were scored out of how many there were when it began. Stops early, with what was handed
// over so far, when cancel is set.
Status scoreUnsorted(Store& store, const Suggester& model, const QStringList& subtrees,
                     const std::function<void(QList<Scored>&& batch)>& each, const std::atomic<bool>& cancel,
                     const std::function<void(qint64 done, qint64 total)>& progress = {});

} // namespace Training
