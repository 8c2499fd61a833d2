// What the settings engine needs to know of a window and of a text grid to keep
// their bounds and column widths. The user interface implements these for its
// widgets; tests implement them again.
#pragma once

#include <string>

namespace vertamo {

// A window: its component name (the settings section) and its outer bounds.
class IFormBounds {
 public:
  virtual ~IFormBounds() = default;
  virtual std::string name() const = 0;  // code page 1251
  virtual int left() const = 0;
  virtual int top() const = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual void setLeft(int value) = 0;
  virtual void setTop(int value) = 0;
  virtual void setWidth(int value) = 0;
  virtual void setHeight(int value) = 0;
};

// A text grid: its own component name (the key prefix), the component name of
// the window that owns it (the default section), and its columns, fixed ones
// included, counted from 0.
class IGridColumns {
 public:
  virtual ~IGridColumns() = default;
  virtual std::string name() const = 0;       // code page 1251
  virtual std::string ownerName() const = 0;  // code page 1251
  virtual int columnCount() const = 0;
  virtual int width(int column) const = 0;
  virtual void setWidth(int column, int width) = 0;
};

}  // namespace vertamo
