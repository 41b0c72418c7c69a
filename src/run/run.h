// The indexer's one run over the files of the working directory.
#pragma once

namespace indicizza {

// Runs every phase in order and returns the exit status: 0 after
// "Fine scansione". A fatal stop throws FatalStop (see console.h) after its
// message is out; the caller turns it into status 1.
int runIndexer();

}  // namespace indicizza
