// The identity of a catalogue file, as the read side tells one version of
// opere.idb, opere.ddb or a side file from the next: that of
// base/file_identity.h, which the indexer uses too, to prove at its commit
// that a database is still the file it started from.
#pragma once

#include "base/file_identity.h"
