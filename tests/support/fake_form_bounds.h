// A window for the settings engine without any window system: bounds in
// plain fields, and a log of the setters called ("L", "T", "W", "H").
#pragma once

#include <string>
#include <utility>

#include "settings/form_bounds.h"

namespace vertamo::testing {

struct FakeFormBounds : IFormBounds {
  explicit FakeFormBounds(std::string name = "FormTest", int left = 1, int top = 2, int width = 3,
                          int height = 4)
      : n(std::move(name)), l(left), t(top), w(width), h(height) {}
  std::string n;
  int l, t, w, h;
  std::string log;
  std::string name() const override { return n; }
  int left() const override { return l; }
  int top() const override { return t; }
  int width() const override { return w; }
  int height() const override { return h; }
  void setLeft(int v) override { l = v, log += "L"; }
  void setTop(int v) override { t = v, log += "T"; }
  void setWidth(int v) override { w = v, log += "W"; }
  void setHeight(int v) override { h = v, log += "H"; }
};

}  // namespace vertamo::testing
