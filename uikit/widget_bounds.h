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
class TWidgetBounds : public IFormBounds {
 public:
  explicit TWidgetBounds(QWidget* window) : window_(window) {}
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
  QPointer<QWidget> window_;
};

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
