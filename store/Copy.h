#pragma once

#include "Result.h"

#include <functional>

class Store;

// Copies every class and keyword of one store into another that holds none, exactly as they are: ids, codes,
// counters and every text. A text the target cannot hold as it is refuses the copy before anything is
// written; a failure part of the way leaves the target empty again.
Status copyStore(Store& source, Store& target, const std::function<void(qint64 copied)>& progress = {});
