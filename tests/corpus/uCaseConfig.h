// What a conformance case asks for, read from its test.toml: frames to run,
// the pictures to compare (name, tolerance, outliers, frame) and the
// renderer quality. Only the small part of TOML those files use is read.
#pragma once

#include <string>
#include <vector>

namespace zembra::corpus {

struct ImageComparison {
    std::string name;
    int tolerance = 0;
    long maxOutliers = 0;
    int trigger = -1; // frame after which the picture is taken; -1 = the last
    // Several (tolerance, outliers) checks, from [[image_comparisons.N.checks]]
    // tables; when present they replace the single pair above.
    std::vector<std::pair<int, long>> checks;
};

struct CaseConfig {
    int frames = 1;
    std::string quality = "high";
    std::vector<ImageComparison> images;
};

// False when the text has no image comparison.
bool ParseCaseConfig(const std::string& toml, CaseConfig& out);

} // namespace zembra::corpus
