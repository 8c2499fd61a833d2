// The dialogs of an export to a file, shared by the report window and the
// journal's day window: the save-file dialog and the question that follows.
#pragma once

#include <QString>

#include "journal/report.h"

class QWidget;

namespace vertamo::ui {

// The save-file dialog of an export, owned by `owner`; an empty name when
// cancelled.
QString ChooseExportFile(QWidget* owner, TExportFormat format);
// The question after a written export: whether to open the file.
QString ExportQuestion(TExportFormat format);

}  // namespace vertamo::ui
