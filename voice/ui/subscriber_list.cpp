#include "voice/ui/subscriber_list.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "iptel/dial_address.h"
#include "voice/phone_book.h"
#include "uikit/qt_text.h"
#include "voice/ui/subscriber_form.h"

namespace vertamo::ui {

TVoicePrompts DefaultVoicePrompts() {
  TVoicePrompts prompts;
  prompts.askSubscriber = [](QWidget* parent, const QString& title, QString& name, QString& address,
                              const TVoicePrompts::TRefusal& refusal) {
    TSubscriberForm form(title, name, address, refusal, parent);
    if (form.exec() != QDialog::Accepted) return false;
    name = form.Name();
    address = form.Address();
    return true;
  };
  prompts.askSaveFile = [](QWidget* parent, const QString& title, const QString& folder, const QString& fileName,
                           const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, QDir(folder).filePath(fileName), filter);
  };
  prompts.askYesNo = [](QWidget* parent, const QString& title, const QString& question) {
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  prompts.tell = [](QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
  };
  return prompts;
}

QString AddressRefusal(const std::string& address) {
  const std::string why = DialAddressProblem(address);
  if (why.empty()) return {};
  return QStringLiteral("Адрес \"") + FromCp1251(address) + QStringLiteral("\" не набрать: ") +
         FromCp1251(why);
}

namespace {

bool AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, QString& name,
                   QString& address) {
  return prompts.askSubscriber(parent, title, name, address,
                               [](const QString& typed) { return AddressRefusal(ToCp1251(typed)); });
}

}  // namespace

bool AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent) {
  QString name, address;
  if (!AskSubscriber(prompts, parent, QStringLiteral("Добавление"), name, address)) return false;
  book.Add(ToCp1251(name), ToCp1251(address));
  book.SavePhoneBook();
  return true;
}

bool ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent) {
  const PhoneBookEntry* entry = book.At(position);
  if (!entry) return false;
  QString name = FromCp1251(entry->Name), address = FromCp1251(entry->Adr);
  if (!AskSubscriber(prompts, parent, QStringLiteral("Изменение"), name, address)) return false;
  book.Replace(position, ToCp1251(name), ToCp1251(address));
  book.SavePhoneBook();
  return true;
}

bool DeleteSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent) {
  const PhoneBookEntry* entry = book.At(position);
  if (!entry) return false;
  const QString question =
      QStringLiteral("Удалить абонента \"") + FromCp1251(entry->Name) + QStringLiteral("\"?");
  if (!prompts.askYesNo(parent, QStringLiteral("Удаление"), question)) return false;
  book.Delete(position);
  book.SavePhoneBook();
  return true;
}

bool ExportSubscribers(const TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                       const QString& folder) {
  const QString file = prompts.askSaveFile(parent, QStringLiteral("Экспорт книжки абонентов"), folder,
                                           QStringLiteral("Ip.dat"),
                                           QStringLiteral("Файлы данных (*.dat);;Все файлы (*.*)"));
  if (file.isEmpty()) return false;
  return book.ExportPhoneBook(file.toStdString());
}

}  // namespace vertamo::ui
