// Reading a board description (TOML) into a BoardConfig.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "board.h"

namespace veltrasim {

struct BoardResult {
    std::shared_ptr<const BoardConfig> board;  // null on failure
    std::string error;                         // "file:line: key: what is wrong"
};

BoardResult ParseBoard(std::string_view toml, std::string_view sourceName);
BoardResult ReadBoardFile(const std::string& path);

}  // namespace veltrasim
