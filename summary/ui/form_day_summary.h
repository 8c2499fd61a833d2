// "Сводка за день": the shift at a glance. A window for one day (today at
// first, any day whose journal is kept): the day's totals in one line and its
// charts (see day_charts.h), under a heading that names the day, the server
// and when the sheet was made. It prints, and exports to PDF and PNG, the
// sheet as shown. A bar of the busiest objects shows its object on the map.
#pragma once

#include <QWidget>
#include <string>

#include "journal/journal_file.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QPagedPaintDevice;
class QPushButton;

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

class TFormDaySummary : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kSection = "FormDaySummary";

  // `files` and `ini` (may be null) outlive the window, which deletes itself
  // when closed. `workFolder` holds the call history; `serverName` heads the
  // sheet. It opens on today.
  TFormDaySummary(const TJournalFile& files, std::string workFolder, QString serverName, TFastIni* ini,
                  QWidget* owner = nullptr);

  // Reads and shows the day "YYYY-MM-DD" (a day without a file is empty).
  void ShowDay(const std::string& day);
  const std::string& Day() const { return day_; }
  // "Сводка за день 08.12.2026, сервер …, составлена 08.12.2026 14:05".
  QString Heading() const;

  // The sheet into a file; false when it could not be written.
  bool ExportPng(const QString& path);
  bool ExportPdf(const QString& path);
  // The sheet on `device`'s page (a printer, a PDF).
  void PaintSheet(QPagedPaintDevice& device);

  // Controls, under their names.
  QComboBox* ComboBoxDay = nullptr;
  QLabel* LabelHeading = nullptr;
  QLabel* LabelTotals = nullptr;
  QPushButton* ButtonPrint = nullptr;
  QPushButton* ButtonPdf = nullptr;
  QPushButton* ButtonPng = nullptr;
  QWidget* Sheet = nullptr;  // heading, totals and charts: what prints

 signals:
  void ShowObjectOnMapRequested(int object);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillDays();
  void Print();
  void AskFile(const QString& title, const QString& filter, const QString& suffix,
               std::function<bool(const QString&)> write);

  const TJournalFile& files_;
  std::string workFolder_;
  QString serverName_;
  TFastIni* ini_;
  std::string day_;
  QString made_;  // when the sheet shown was made
  QWidget* chartsArea_ = nullptr;
  QGridLayout* charts_ = nullptr;
};

}  // namespace vertamo::ui
