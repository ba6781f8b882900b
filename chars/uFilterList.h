// The filter list that PlaceObject3 and DefineButton2's records carry.
#pragma once

#include <vector>

#include "raster/uFilters.h"
#include "swf/uSwfReader.h"

namespace zembra::chars {

// Reads a filter list into `out` (replacing what it held). False when the
// data ends inside it or names an unknown filter: the filters read before
// are kept, and the reader is then no longer in step with the record.
bool ReadFilterList(swf::Reader& r, std::vector<raster::Filter>& out);

} // namespace zembra::chars
