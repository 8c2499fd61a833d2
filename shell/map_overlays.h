// What the server places over the maps: the three counters, the clock and the
// speaker symbol. They are created once with the main window and moved onto
// whichever map view is active, where they keep their place in the view and
// their size while the map below zooms and scrolls; an overlay has no parent
// until it is placed (a parentless widget that is shown becomes a window of
// its own), and only the overlays whose layout arrived since the last clear
// are placed.
#pragma once

#include <QLabel>
#include <QString>
#include <array>

#include "map/ui/bigspk.h"
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

  // The overlays with a layout onto `tab`, in front of its pictures.
  void PlaceOn(QWidget* tab);
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

  std::array<bool, kOverlays> visible_{};
};

}  // namespace vertamo::ui
