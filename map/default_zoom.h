// The zoom of a map that the dispatcher has not zoomed yet.
#pragma once

namespace vertamo {

// A map is enlarged to fill its tab by this much at most; a smaller map
// stays as designed, its pictures sharp, rather than blown up.
constexpr double kMostDefaultEnlargement = 1.5;

// The zoom that shows a map of `mapWidth` × `mapHeight` whole in a view of
// `viewWidth` × `viewHeight`; 0 when either has no area.
double WholeMapZoom(double mapWidth, double mapHeight, double viewWidth, double viewHeight);

// The default of a map without a zoom of its own, given the zoom that shows
// it whole: that zoom ("По размеру окна") when it shrinks the map or enlarges
// it by no more than kMostDefaultEnlargement, else 1 (100 %).
double DefaultMapZoom(double wholeZoom);

}  // namespace vertamo
