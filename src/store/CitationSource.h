#pragma once
// Where export and statistics take their citations from: the records under
// a list of keys, handed over in that order. The data file's view is one
// such source; the storage seam gives another for whichever store is in use.
#include "store/FileError.h"

#include <QList>
#include <functional>

class CitationFileView;

// One citation's 3000 bytes, valid during the call; false stops the visits.
using CitationVisit = std::function<bool(int key, const char* record)>;
// Visits the records under `keys` in that order. False when one could not be
// read (error says why; those before it were visited); a stop asked for by
// the visit is no failure.
using CitationSource = std::function<bool(const QList<int>& keys, const CitationVisit& visit, FileError& error)>;

// The records of an open view, by record number.
CitationSource ViewSource(CitationFileView& view);
