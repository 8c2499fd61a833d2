#include "journal/ui/export_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

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

QString NotOpenedText(const QString& path) {
  return QStringLiteral("Файл сохранен, но открыть его не удалось: на этом компьютере нет программы "
                        "для таких файлов.\n") +
         QDir::toNativeSeparators(path);
}

void UseDesktopExportDialogs(TExportDialogs& dialogs, QWidget* owner, const QString& questionTitle) {
  dialogs.chooseExportFile = [owner](TExportFormat format) { return ChooseExportFile(owner, format); };
  dialogs.askOpen = [owner, questionTitle](const QString& text) {
    return QMessageBox::question(owner, questionTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
  };
  dialogs.openFile = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  dialogs.tell = [owner, questionTitle](const QString& text) { QMessageBox::warning(owner, questionTitle, text); };
}

bool ExportThroughDialogs(const TExportDialogs& dialogs, TExportFormat format,
                          const std::function<bool(const std::string& path)>& write) {
  const QString path = dialogs.chooseExportFile ? dialogs.chooseExportFile(format) : QString();
  if (path.isEmpty()) return false;
  if (!write(QFile::encodeName(path).toStdString())) return false;
  if (dialogs.askOpen && dialogs.askOpen(ExportQuestion(format)) && dialogs.openFile && !dialogs.openFile(path) &&
      dialogs.tell)
    dialogs.tell(NotOpenedText(path));
  return true;
}

}  // namespace vertamo::ui
