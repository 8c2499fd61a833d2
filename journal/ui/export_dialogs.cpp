#include "journal/ui/export_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QUrl>

#include "uikit/window_modal.h"

namespace vertamo::ui {

QString ExportQuestion(TExportFormat format) {
  return format == TExportFormat::Csv
             ? QStringLiteral(
                   "Отчет сохранен в виде файла \nдля Microsoft Excel или OpenOffice...\nОткрыть "
                   "сохраненный файл ?")
             : QStringLiteral("Отчет сохранен в виде текстового файла...\nОткрыть сохраненный файл ?");
}

void ChooseExportFile(QWidget* owner, TExportFormat format, std::function<void(const QString& path)> chosen) {
  const bool csv = format == TExportFormat::Csv;
  auto* dialog = new QFileDialog(owner, csv ? QStringLiteral("Экспорт данных в CSV файл")
                                            : QStringLiteral("Экспорт данных в текстовый файл"));
  dialog->setDirectory(QDir::currentPath());
  dialog->setNameFilter(csv ? QStringLiteral("Файл экспорта (*.csv)") : QStringLiteral("Текстовый файл (*.txt)"));
  dialog->setDefaultSuffix(csv ? QStringLiteral("csv") : QStringLiteral("txt"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
  OpenWindowModal(dialog);
}

QString NotOpenedText(const QString& path) {
  return QStringLiteral("Файл сохранен, но открыть его не удалось: на этом компьютере нет программы "
                        "для таких файлов.\n") +
         QDir::toNativeSeparators(path);
}

void UseDesktopExportDialogs(TExportDialogs& dialogs, QWidget* owner, const QString& questionTitle) {
  dialogs.chooseExportFile = [owner](TExportFormat format, std::function<void(const QString&)> chosen) {
    ChooseExportFile(owner, format, std::move(chosen));
  };
  dialogs.askOpen = [owner, questionTitle](const QString& text, std::function<void(bool)> answered) {
    AskYesNo(owner, questionTitle, text, true, std::move(answered));
  };
  dialogs.openFile = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  dialogs.tell = [owner, questionTitle](const QString& text) { Tell(owner, questionTitle, text); };
}

void ExportThroughDialogs(const TExportDialogs& dialogs, TExportFormat format,
                          std::function<bool(const std::string& path)> write, std::function<void()> done) {
  if (!dialogs.chooseExportFile) return;
  dialogs.chooseExportFile(format, [dialogs, format, write = std::move(write),
                                    done = std::move(done)](const QString& path) {
    if (path.isEmpty() || !write(QFile::encodeName(path).toStdString())) return;
    const auto answered = [dialogs, path, done](bool yes) {
      if (yes && dialogs.openFile && !dialogs.openFile(path) && dialogs.tell) dialogs.tell(NotOpenedText(path));
      if (done) done();
    };
    if (dialogs.askOpen)
      dialogs.askOpen(ExportQuestion(format), answered);
    else
      answered(false);
  });
}

}  // namespace vertamo::ui
