#pragma once

#include "Result.h"

class Store;

// A small class tree and a few hundred unsorted keywords, so that a new user has something to sort.
Status addSampleData(Store& store);
