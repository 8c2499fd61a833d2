#include "map/default_zoom.h"

#include <algorithm>

namespace vertamo {

double WholeMapZoom(double mapWidth, double mapHeight, double viewWidth, double viewHeight) {
  if (mapWidth <= 0 || mapHeight <= 0 || viewWidth <= 0 || viewHeight <= 0) return 0;
  return std::min(viewWidth / mapWidth, viewHeight / mapHeight);
}

double DefaultMapZoom(double wholeZoom) {
  return wholeZoom > 0 && wholeZoom <= kMostDefaultEnlargement ? wholeZoom : 1.0;
}

}  // namespace vertamo
