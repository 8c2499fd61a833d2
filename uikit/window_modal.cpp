#include "uikit/window_modal.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vertamo::ui {

void OpenWindowModal(QDialog* dialog) {
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->open();
}

QDialog* AskYesNo(QWidget* parent, const QString& title, const QString& question, bool yesByDefault,
                  std::function<void(bool yes)> answered) {
  auto* box =
      new QMessageBox(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
  QAbstractButton* yes = box->button(QMessageBox::Yes);
  yes->setText(QStringLiteral("Да"));
  box->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  box->setDefaultButton(yesByDefault ? QMessageBox::Yes : QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  // finished comes only from an answer, never from a box freed with its window.
  QObject::connect(box, &QMessageBox::finished, box, [box, yes, answered = std::move(answered)](int) {
    answered(box->clickedButton() == yes);
  });
  OpenWindowModal(box);
  return box;
}

QDialog* Tell(QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  OpenWindowModal(box);
  return box;
}

QDialog* AskText(QWidget* parent, const QString& title, const QString& label, const QString& proposed,
                 std::function<void(const QString& text)> accepted) {
  auto* dialog = new QInputDialog(parent);
  dialog->setWindowTitle(title);
  dialog->setLabelText(label);
  dialog->setTextValue(proposed);
  QObject::connect(dialog, &QInputDialog::textValueSelected, dialog, std::move(accepted));
  OpenWindowModal(dialog);
  return dialog;
}

QDialog* AskSaveFile(QWidget* parent, const QString& title, const QString& proposed, const QString& filter,
                     std::function<void(const QString& path)> chosen) {
  auto* dialog = new QFileDialog(parent, title, QString(), filter);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->selectFile(proposed);
  QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
  OpenWindowModal(dialog);
  return dialog;
}

QDialog* AskFont(QWidget* parent, const QString& title, const QFont& font,
                 std::function<void(bool chosen, const QFont& font)> closed) {
  auto* dialog = new QFontDialog(font, parent);
  if (!title.isEmpty()) dialog->setWindowTitle(title);
  QObject::connect(dialog, &QDialog::finished, dialog,
                   [dialog, font, closed = std::move(closed)](int result) {
                     const bool chosen = result == QDialog::Accepted;
                     closed(chosen, chosen ? dialog->selectedFont() : font);
                   });
  OpenWindowModal(dialog);
  return dialog;
}

}  // namespace vertamo::ui
