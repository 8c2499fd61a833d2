#include "voice/history_columns.h"

#include <algorithm>
#include <cstddef>

namespace vertamo {

std::vector<int> HistoryColumnWidths(int available, const std::vector<int>& wanted, const std::vector<bool>& elidable,
                                     int stretch, int least) {
  std::vector<int> widths(wanted.size());
  int fixed = 0, others = 0;  // what the columns that keep their width and the other elidable ones want
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    widths[i] = std::max(wanted[i], least);
    if (static_cast<int>(i) == stretch) continue;
    (i < elidable.size() && elidable[i] ? others : fixed) += widths[i];
  }
  if (stretch < 0 || static_cast<std::size_t>(stretch) >= widths.size()) return widths;
  const int room = std::max(available - fixed, 0);  // for the elidable columns together
  if (widths[stretch] + others <= room) {
    widths[stretch] = room - others;
    return widths;
  }
  const int mine = std::max({std::min(widths[stretch], room * 2 / 3), room - others, least});
  widths[stretch] = mine;
  const int rest = std::max(room - mine, 0);
  for (std::size_t i = 0; i < widths.size(); ++i)
    if (static_cast<int>(i) != stretch && i < elidable.size() && elidable[i] && others > 0)
      widths[i] = std::max(static_cast<int>(static_cast<long long>(widths[i]) * rest / others), least);
  return widths;
}

}  // namespace vertamo
