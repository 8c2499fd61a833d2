// What the main window shows while the link to the dispatch server is down.
//
// The last maps, with their counters, clock and speaker, stay on screen until
// the next load after a successful login replaces them; F5 and a changed
// server profile clear them at once as before. While they are stale:
// - a banner across the top of the map area names the server, its address,
//   the time the link was lost and why ("Нет связи с сервером Центральная
//   (10.0.0.5:9900) с 14:02:11: соединение отклонено"); without maps the
//   banner stands above the server label the same way;
// - a curtain over the map pages greys them and keeps clicks and
//   double-clicks from the objects, texts and counters below: nothing there
//   could be answered (a call, a report) while the link is down. The tabs stay
//   usable, so every stale map can be looked at; the wheel and the scroll bars
//   still move the map below and the hints of its pictures still show;
// - the counters' layouts and values of the new load wait until it replaces
//   the stale maps (Later / TakeLater), so the stale view is never half new.
#pragma once

#include <QDateTime>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

#include "serverlink/link_fault.h"

class QGridLayout;
class QMouseEvent;
class QPushButton;
class QTabWidget;

namespace vertamo::ui {

// "Нет связи с сервером <name> (<host>:<port>) с HH:MM:SS: <why>"; a link lost
// on another day than `now` gives the date too ("с 06.12 23:59:10").
QString LinkDownText(const TLinkDown& event, const QDateTime& now = QDateTime::currentDateTime());

// Greys the map pages it covers and keeps the clicks from them; passes the
// wheel on and shows the hints of the pictures below.
class TStaleCurtain : public QWidget {
 public:
  explicit TStaleCurtain(QTabWidget* maps);
  // Over the pages of the tab widget, its tab bar left free.
  void Cover();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The widget of the active map under a point of the screen: the map itself
  // (its view's viewport), a scroll bar or an overlay.
  QWidget* Below(const QPoint& global) const;
  // Hands a mouse event on to the scroll bar being used.
  void PassOn(const QMouseEvent& mouse);

  QTabWidget* maps_;
  QPointer<QWidget> scrolling_;  // the scroll bar a press began on
};

class TStaleView : public QObject {
 public:
  // The banner takes row 0 of `layout` (the maps and the server label sit in
  // row 1); the curtain lies over the pages of `maps`.
  TStaleView(QGridLayout* layout, QTabWidget* maps);

  // What a banner of a link that never came up offers: "Настройки…" always,
  // the demo only when `demo` is given (a first start).
  void SetOffers(std::function<void()> settings, std::function<void()> demo);
  // A new server (a changed profile): its link has not come up yet.
  void NewServer() { linkEverUp_ = false; }

  // The link is down: the banner says why; maps on screen become stale.
  void LinkDown(const TLinkDown& event, bool mapsShown);
  // The server accepted the login: stale maps say that a new load is on its
  // way; without them the banner goes.
  void LinkUp();
  // The maps on screen stay, greyed, until the next load; what an earlier
  // load cut short kept is dropped.
  void Freeze();
  bool Frozen() const { return frozen_; }
  // Runs `call` at once, or, while frozen, keeps it for the new load.
  void Later(std::function<void()> call);
  // The kept calls, in order; they are no longer kept.
  std::vector<std::function<void()>> TakeLater();
  // The stale maps are gone: no curtain, nothing kept; the banner stays.
  void Thaw();
  // Thaw, and the banner goes too.
  void Reset();

  QLabel* Banner = nullptr;
  TStaleCurtain* Curtain = nullptr;
  // On the banner of a link that never came up.
  QPushButton* SettingsButton = nullptr;
  QPushButton* DemoButton = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowBanner(const QString& text, bool down);
  void SetBannerShown(bool shown);

  QTabWidget* maps_;
  QWidget* row_ = nullptr;  // the banner with its buttons
  QString server_;  // as the last banner named it
  bool frozen_ = false;
  bool linkEverUp_ = false;
  bool demoOffered_ = false;
  std::vector<std::function<void()>> later_;
};

}  // namespace vertamo::ui
