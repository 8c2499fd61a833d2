#include "uikit/win_color.h"

#include <QApplication>

namespace vertamo::ui {

namespace {

QColor SystemColor(int index, const QPalette& pal) {
  using R = QPalette::ColorRole;
  auto active = [&](R role) { return pal.color(QPalette::Active, role); };
  auto inactive = [&](R role) { return pal.color(QPalette::Inactive, role); };
  switch (index) {
    case kSysScrollBar:
      return active(R::Button);
    case kSysBackground:
      return active(R::Dark);
    case kSysActiveCaption:
      return active(R::Highlight);
    case kSysInactiveCaption:
      return inactive(R::Mid);
    case kSysMenu:
      return active(R::Window);
    case kSysWindow:
      return active(R::Base);
    case kSysWindowFrame:
      return active(R::Shadow);
    case kSysMenuText:
      return active(R::WindowText);
    case kSysWindowText:
      return active(R::Text);
    case kSysCaptionText:
      return active(R::HighlightedText);
    case kSysActiveBorder:
      return active(R::Window);
    case kSysInactiveBorder:
      return inactive(R::Window);
    case kSysAppWorkspace:
      return active(R::Dark);
    case kSysHighlight:
      return active(R::Highlight);
    case kSysHighlightText:
      return active(R::HighlightedText);
    case kSysBtnFace:
      return active(R::Button);
    case kSysBtnShadow:
      return active(R::Dark);
    case kSysGrayText:
      return pal.color(QPalette::Disabled, R::Text);
    case kSysBtnText:
      return active(R::ButtonText);
    case kSysInactiveCaptionText:
      return inactive(R::WindowText);
    case kSysBtnHighlight:
      return active(R::Light);
    case kSys3DDkShadow:
      return active(R::Shadow);
    case kSys3DLight:
      return active(R::Midlight);
    case kSysInfoText:
      return active(R::ToolTipText);
    case kSysInfoBk:
      return active(R::ToolTipBase);
    case kSysHotLight:
      return active(R::Link);
    case kSysGradientActiveCaption:
      return active(R::Highlight);
    case kSysGradientInactiveCaption:
      return inactive(R::Mid);
    case kSysMenuHighlight:
      return active(R::Highlight);
    case kSysMenuBar:
      return active(R::Window);
    default:
      return QColor(0, 0, 0);
  }
}

QColor PlainColor(int value) {
  const auto v = static_cast<unsigned>(value);
  return QColor(static_cast<int>(v & 0xFFu), static_cast<int>((v >> 8) & 0xFFu),
                static_cast<int>((v >> 16) & 0xFFu));
}

}  // namespace

QColor WinColorToQColor(int value, const QPalette& palette) {
  if (IsSysColor(value)) return SystemColor(value & 0xFF, palette);
  return PlainColor(value);
}

QColor WinColorToQColor(int value) {
  if (IsSysColor(value)) return SystemColor(value & 0xFF, QApplication::palette());
  return PlainColor(value);
}

int QColorToWinColor(const QColor& color) {
  const QColor c = color.toRgb();
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

}  // namespace vertamo::ui
