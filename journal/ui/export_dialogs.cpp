#include "journal/ui/export_dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace vertamo::ui {

QString ExportQuestion(TExportFormat format) {
  return format == TExportFormat::Csv
             ? QStringLiteral(
                   "Отчет сохранен в виде файла \nдля Microsoft Excel или OpenOffice...\nОткрыть "
                   "сохраненный файл ?")
             : QStringLiteral("Отчет сохранен в виде текстового файла...\nОткрыть сохраненный файл ?");
}

QString ChooseExportFile(QWidget* owner, TExportFormat format) {
  const bool csv = format == TExportFormat::Csv;
  QFileDialog dialog(owner, csv ? QStringLiteral("Экспорт данных в CSV файл")
                                : QStringLiteral("Экспорт данных в текстовый файл"));
  dialog.setDirectory(QDir::currentPath());
  dialog.setNameFilter(csv ? QStringLiteral("Файл экспорта (*.csv)")
                           : QStringLiteral("Текстовый файл (*.txt)"));
  dialog.setDefaultSuffix(csv ? QStringLiteral("csv") : QStringLiteral("txt"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace vertamo::ui
