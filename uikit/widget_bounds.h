// Qt widgets seen through the settings engine's window and grid interfaces.
#pragma once

#include <QPointer>
#include <QTableView>
#include <QWidget>

#include "settings/form_bounds.h"

namespace vertamo::ui {

// A window's outer bounds: Left and Top are the position of its frame, Width
// and Height its outer size, frame included. Before a window is first shown
// its frame is not known yet; a size set then is corrected once the frame
// becomes known, so a stored outer size comes back as the same outer size.
// The name is the widget's object name.
//
// A place given to a window (a saved one read back) is kept on the screen it
// opens on: the screen under the place's centre, else the one it overlaps
// most, else the window's own. A place larger than that screen's free area is
// made as large as the area, and one reaching beyond it is moved in. The
// bounds given so far through the same object count as one place, so the
// order of the four values does not matter.
class TWidgetBounds : public IFormBounds {
 public:
  enum TPlacing {
    kKeepOnScreen,
    kAsGiven,  // a design place, as it is
  };
  explicit TWidgetBounds(QWidget* window, TPlacing placing = kKeepOnScreen)
      : window_(window), placing_(placing) {}
  std::string name() const override;
  int left() const override;
  int top() const override;
  int width() const override;
  int height() const override;
  void setLeft(int value) override;
  void setTop(int value) override;
  void setWidth(int value) override;
  void setHeight(int value) override;

 private:
  void SetOuterSize(QSize outer);
  void Place(const QRect& wanted, bool sizeGiven);
  QPointer<QWidget> window_;
  TPlacing placing_;
  QRect wanted_;  // the place given so far (outer bounds)
  bool given_ = false;
};

// `place` (outer bounds) moved and cut to the free area of the screen it opens
// on (see TWidgetBounds).
QRect KeepOnScreen(const QRect& place, const QWidget* window);

// A table's column widths; its name is the view's object name, its owner the
// object name of the window that holds it.
class TTableColumns : public IGridColumns {
 public:
  explicit TTableColumns(QTableView* table) : table_(table) {}
  std::string name() const override;
  std::string ownerName() const override;
  int columnCount() const override;
  int width(int column) const override;
  void setWidth(int column, int width) override;

 private:
  QPointer<QTableView> table_;
};

}  // namespace vertamo::ui
