// Vertical, time and scan binning of the cast collection's post-processed series into the
// binned series (SortedBuffer) of its parameters.
//
// Not written yet: the acquisition pipeline already calls these at their places, so that a cast
// runs end to end; until then no row is produced.

#include "processing/ParamCollection.h"

namespace marevo {

void TParamCollection::SetSortInfo() {}

void TParamCollection::Sort() {}

void TParamCollection::SortAll() {}

void TParamCollection::SortEnd() {}

void TParamCollection::ResetExtractFlags() {
    I_FirstInIndex = I_LastInIndex = I_FirstLoIndex = I_LastLoIndex = I_FirstHiIndex =
        I_LastHiIndex = -111;
    I_FirstInFlag = I_LastInFlag = I_FirstLoFlag = I_LastLoFlag = I_FirstHiFlag = I_LastHiFlag =
        false;
}

} // namespace marevo
