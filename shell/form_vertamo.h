// TFormVertamo: the dispatcher's main window and the owner of every
// long-lived object of the workstation.
//
// Start: the constructor fixes the work folder (it becomes the current
// folder, with its "Wave" sub-folder) and builds the window; FormCreate opens
// "Vertamo.ini", restores the window's bounds and loads the server profile.
// Close (menu "Выход", the close box, or SIGTERM / SIGINT through the same
// close): FormClose saves the bounds and the profile and closes "Vertamo.ini".
#pragma once

#include <QMainWindow>

#include "settings/app_settings.h"
#include "settings/server_profile.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;

namespace vertamo::ui {

class TFormVertamo : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kInitialWidth = 909;
  static constexpr int kInitialHeight = 596;

  // `settings` outlives the window. Its WorkFolder, when already chosen (the
  // --workdir option), is used; otherwise the work folder "Vertamo" is found.
  explicit TFormVertamo(TAppSettings& settings, QWidget* parent = nullptr);
  ~TFormVertamo() override;

  const SERVERINFO& Profile() const { return profile_; }
  TAppSettings& Settings() { return settings_; }

  // Panel 0: connection state; panel 1: progress text.
  void SetStatusText(int panel, const QString& text);
  QString StatusText(int panel) const;

  // Controls, under their component names.
  QLabel* LabelSrv = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanels[2] = {nullptr, nullptr};
  QMenu* mFile = nullptr;
  QAction* mSetup = nullptr;
  QAction* mClose = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void FormCreate();
  void FormClose();
  void ShowServerCaption();
  void mSetupClick();
  void mCloseClick();

  TAppSettings& settings_;
  SERVERINFO profile_{};
  bool closed_ = false;
};

}  // namespace vertamo::ui
