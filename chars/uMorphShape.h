// DefineMorphShape 1 and 2: a start and an end shape with paired styles and
// edges, drawn at any ratio between them.
#pragma once

#include <memory>

#include "chars/uShape.h"
#include "swf/uSwfReader.h"

namespace zembra::chars {

class MorphShape {
  public:
    // Reads the tag body after the character id (version 1 or 2).
    void Read(swf::Reader& r, int morphVersion);

    // The shape at ratio 0..65535. The last ratio asked for is kept, since
    // a placed morph usually stays at one ratio for several frames.
    const ShapeGeometry& At(uint16_t ratio, const BitmapLookup& bitmaps);

    // For tests: the interpolated records.
    ShapeRecords Interpolate(double t) const;

  private:
    ShapeRecords start_;
    ShapeRecords end_;     // ops only
    StyleTable endStyles_; // paired with start_.tables[0]
    swf::Rect startBounds_, endBounds_;
    int cachedRatio_ = -1;
    ShapeGeometry cached_;
};

} // namespace zembra::chars
