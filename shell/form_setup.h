// TFormSetup: the settings dialog "Настройки программы". It edits a copy of
// the server connection profile and keeps the saved profiles of section
// "Servers" (Srv0, Srv1, ... in the one-line form) to choose from.
//
// The main window's menu command "Настройки" opens it through OpenSetupDialog:
//
//   OpenSetupDialog(this, ini, profile_, [](const TSetupResult& r) { ... });
//   if (r.accepted) { rewrite LabelSrv; ini->Save(); if (r.reconnect) Reconnect(); }
//
// With Cancel nothing but the window bounds is stored: deletions and edits
// are lost. OK rewrites the saved list after a deletion and for a named,
// valid profile (which it adds or replaces); the edited profile becomes the
// active one either way.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/fast_ini.h"
#include "settings/server_profile.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTabWidget;

namespace Ui {
class TFormSetup;
}

namespace vertamo::ui {

class TFormSetup : public QDialog {
  Q_OBJECT
 public:
  // `ini` (may be null) holds section "Servers" and the window bounds under
  // "FormSetup"; it outlives the dialog.
  explicit TFormSetup(TFastIni* ini, QWidget* parent = nullptr);
  ~TFormSetup() override;

  // Fills every field from the profile (texts without their outer blanks) and
  // makes it the working copy. Clears the profile's Modified mark first: what
  // ApplyProfile marks afterwards tells the main window whether anything
  // changed. Deleting a saved profile brings this one back into the fields.
  void ShowProfile(SERVERINFO& profile);
  // The fields into the working copy: texts without outer blanks, the port
  // read as a settings number (no number gives 0), both check boxes.
  SERVERINFO GetProfile();

  // A line above the fields that says what the dialog is for (a first start:
  // the newcomer has not chosen any of the values shown).
  void ShowNote(const QString& note);

  // The saved profiles, in their one-line form and in the order of the names
  // in ComboBoxServers.
  const std::vector<std::string>& SavedServers() const { return servers_; }

  // Controls, under their component names.
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QLineEdit* EditServerName = nullptr;
  QLineEdit* EditServerIp = nullptr;
  QLineEdit* EditServerPort = nullptr;
  QLineEdit* EditServerLogin = nullptr;
  QLineEdit* EditServerPassword = nullptr;
  // Masks the password unless checked ("Показать"), for a look over the
  // dispatcher's shoulder.
  QCheckBox* CheckBoxShowPassword = nullptr;
  QCheckBox* CheckBoxDebug = nullptr;
  QCheckBox* CheckBoxCacheEnable = nullptr;
  QComboBox* ComboBoxServers = nullptr;
  QToolButton* BitBtnDel = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QLabel* LabelNote = nullptr;  // only with a note

 public slots:
  void done(int result) override;

 private:
  void FormCreate();
  void Show(const SERVERINFO& profile);
  void ComboBoxServersClick(int index);
  void BitBtnDelClick();
  void ButtonOKClick();

  std::unique_ptr<Ui::TFormSetup> ui_;
  TFastIni* ini_;
  SERVERINFO profile_{};
  SERVERINFO shown_{};  // the profile the dialog was opened with
  std::vector<std::string> servers_;
  bool deleted_ = false;  // a saved profile was deleted
  bool closed_ = false;
};

// The main window's decision after OK: merges the edited profile into the
// active one field by field (ApplyProfile) and tells whether anything
// changed, that is whether the connection must be started again.
bool ApplySetupProfile(SERVERINFO& active, const SERVERINFO& edited);

struct TSetupResult {
  bool accepted = false;   // closed with OK: show the name, save the settings
  bool reconnect = false;  // the active profile changed: reconnect
};

// The dialog's part of the menu command "Настройки": creates the dialog,
// shows the active profile (a `note` above the fields) and opens it, modal to
// `owner` only and without an event loop of its own, so that a ring meanwhile
// is answered as ever. Once it closes with OK or Cancel, the edited profile is
// applied to `active` (which outlives the dialog) on OK, and `done` gets the
// result; a dialog that is only hidden (the workstation closing) reports
// nothing. The dialog goes by itself once closed.
TFormSetup* OpenSetupDialog(QWidget* owner, TFastIni* ini, SERVERINFO& active,
                            std::function<void(const TSetupResult&)> done, const QString& note = {});

// The note of a first start.
QString FirstStartNote();

}  // namespace vertamo::ui
