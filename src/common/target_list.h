#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// The documents of a run. After the list is built, fileList[0..fileIndex] are the targets and
// fileIndex is their count minus one; during the run each entry becomes the path actually edited
// (empty where a copy failed).
struct TargetList {
    static constexpr std::int16_t kFolder = -1;
    static constexpr std::int16_t kSingleFile = 0;

    std::vector<std::u16string> fileList;
    std::int32_t fileIndex = 0;
    std::int16_t folderFlag = kSingleFile;
    std::u16string dirEntry;
};

}  // namespace quorvane
