// The widths of the history tab's columns in the room the grid has.
#pragma once

#include <vector>

namespace vertamo {

// Each column as wide as it wants (`wanted`, its widest text) where there is
// room, the `stretch` column taking what is left over. Short of room, only
// the columns marked `elidable` give way: `stretch` (who was called, the one
// the dispatcher reads) keeps what it wants or at least two thirds of their room,
// and the other elidable ones share the rest in proportion. Widths are
// pixels; none is below `least`.
std::vector<int> HistoryColumnWidths(int available, const std::vector<int>& wanted, const std::vector<bool>& elidable,
                                     int stretch, int least = 16);

}  // namespace vertamo
