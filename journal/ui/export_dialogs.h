// The dialogs of an export to a file, shared by the report window and the
// journal's day window: the save-file dialog and the question that follows.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "journal/report.h"

class QWidget;

namespace vertamo::ui {

// The save-file dialog of an export, owned by `owner`; an empty name when
// cancelled.
QString ChooseExportFile(QWidget* owner, TExportFormat format);
// The question after a written export: whether to open the file.
QString ExportQuestion(TExportFormat format);
// What the dispatcher is told when no program opened the exported file.
QString NotOpenedText(const QString& path);

// The dialogs of an export as a window runs them; tests replace them.
struct TExportDialogs {
  // The save-file dialog; an empty name when cancelled.
  std::function<QString(TExportFormat format)> chooseExportFile;
  // The question after an export; true for Yes.
  std::function<bool(const QString& text)> askOpen;
  // Opens a file with the desktop's program for its type; false when none took it.
  std::function<bool(const QString& path)> openFile;
  // Says why the file was not opened.
  std::function<void(const QString& text)> tell;
};

// The desktop's dialogs, owned by `owner`; `questionTitle` heads the question
// after the export.
void UseDesktopExportDialogs(TExportDialogs& dialogs, QWidget* owner, const QString& questionTitle);

// An export as the user runs it: the file is chosen, `write` writes it (false
// when it could not), then the user may open it. False when cancelled or not
// written.
bool ExportThroughDialogs(const TExportDialogs& dialogs, TExportFormat format,
                          const std::function<bool(const std::string& path)>& write);

}  // namespace vertamo::ui
