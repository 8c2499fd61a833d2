// What the server places over the maps: the three counters, the clock and the
// speaker symbol. They are created once with the main window and moved onto
// whichever map view is active. They sit where the server placed them on the
// map and shrink with a map shown smaller than designed, but never grow past
// their designed size and never leave the view: zoomed in and scrolled, they
// stay readable at its edge. An overlay has no parent until it is placed (a
// parentless widget that is shown becomes a window of its own), and only the
// overlays whose layout arrived since the last clear are placed.
#pragma once

#include <QFont>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <array>

#include "map/ui/bigspk.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "serverlink/client_events.h"

namespace vertamo::ui {

class TMapOverlays {
 public:
  TMapOverlays();
  ~TMapOverlays();  // frees the overlays wherever they are
  TMapOverlays(const TMapOverlays&) = delete;
  TMapOverlays& operator=(const TMapOverlays&) = delete;

  TValInd* Counter(TCounterKind kind) const;
  // Whether the overlay's layout arrived since the last Clear.
  bool Visible(const QWidget* overlay) const;

  void SetCounterLayout(TCounterKind kind, const TCounterLayout& layout);
  void SetClockLayout(const TClockLayout& layout);
  void SetSpeakerLayout(const TSpeakerLayout& layout);
  // The clock's time "hh:mm", once its layout has put it on a map.
  void ShowTime(const QString& time);

  // The overlays with a layout onto `view`, in front of its map, following
  // its zoom and scrolling.
  void PlaceOn(TMapView* view);
  // Every overlay hidden and without a parent, its layout kept (the tab it
  // was on is about to go).
  void Lift();
  // Lift, and every layout forgotten.
  void Clear();

  // Under their component names.
  TValInd* LiftB = nullptr;
  TValInd* OhrAlr = nullptr;
  TValInd* PuErr = nullptr;
  QLabel* Clk = nullptr;
  TBigSpk* BigSpk = nullptr;

 private:
  enum TOverlay { kLiftB, kOhrAlr, kPuErr, kClk, kBigSpk, kOverlays };
  QWidget* Overlay(int index) const;
  void Detach(int index);
  // Each overlay at its place on the map as the view shows it now.
  void Follow();

  std::array<bool, kOverlays> visible_{};
  std::array<QRect, kOverlays> layout_{};  // in map pixels
  QFont clockFont_;
  QPointer<TMapView> view_;
  QMetaObject::Connection following_;
};

}  // namespace vertamo::ui
