// The dialogs of an export to a file, shared by the report window and the
// journal's day window: the save-file dialog and the question that follows.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "journal/report.h"

class QWidget;

namespace vertamo::ui {

// The save-file dialog of an export, modal to `owner` only; `chosen` only
// when confirmed.
void ChooseExportFile(QWidget* owner, TExportFormat format, std::function<void(const QString& path)> chosen);
// The question after a written export: whether to open the file.
QString ExportQuestion(TExportFormat format);
// What the dispatcher is told when no program opened the exported file.
QString NotOpenedText(const QString& path);

// The dialogs of an export as a window runs them; tests replace them. None
// waits: each hands its answer on when the user gives it.
struct TExportDialogs {
  // The save-file dialog; `chosen` only when confirmed.
  std::function<void(TExportFormat format, std::function<void(const QString& path)> chosen)> chooseExportFile;
  // The question after an export; `answered` gets true for Yes.
  std::function<void(const QString& text, std::function<void(bool yes)> answered)> askOpen;
  // Opens a file with the desktop's program for its type; false when none took it.
  std::function<bool(const QString& path)> openFile;
  // Says why the file was not opened.
  std::function<void(const QString& text)> tell;
};

// The desktop's dialogs, modal to `owner`; `questionTitle` heads the question
// after the export.
void UseDesktopExportDialogs(TExportDialogs& dialogs, QWidget* owner, const QString& questionTitle);

// An export as the user runs it: the file is chosen, `write` writes it (false
// when it could not), then the user may open it, and `done` follows the
// answer. Nothing follows a cancel or a file not written.
void ExportThroughDialogs(const TExportDialogs& dialogs, TExportFormat format,
                          std::function<bool(const std::string& path)> write, std::function<void()> done = {});

}  // namespace vertamo::ui
