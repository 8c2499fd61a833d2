#include "voice/ui/subscriber_list.h"

#include <QDir>

#include "iptel/dial_address.h"
#include "uikit/qt_text.h"
#include "uikit/window_modal.h"
#include "voice/phone_book.h"
#include "voice/ui/subscriber_form.h"

namespace vertamo::ui {

TVoicePrompts DefaultVoicePrompts() {
  TVoicePrompts prompts;
  prompts.askSubscriber = [](QWidget* parent, const QString& title, const QString& name,
                             const QString& address, const TVoicePrompts::TRefusal& refusal,
                             std::function<void(const QString&, const QString&)> confirmed) {
    auto* form = new TSubscriberForm(title, name, address, refusal, parent);
    QObject::connect(form, &QDialog::accepted, form,
                     [form, confirmed = std::move(confirmed)] { confirmed(form->Name(), form->Address()); });
    OpenWindowModal(form);
  };
  prompts.askSaveFile = [](QWidget* parent, const QString& title, const QString& folder,
                           const QString& fileName, const QString& filter,
                           std::function<void(const QString&)> chosen) {
    AskSaveFile(parent, title, QDir(folder).filePath(fileName), filter, std::move(chosen));
  };
  prompts.askYesNo = [](QWidget* parent, const QString& title, const QString& question,
                        std::function<void()> yes) {
    AskYesNo(parent, title, question, false, [yes = std::move(yes)](bool answer) {
      if (answer) yes();
    });
  };
  prompts.tell = [](QWidget* parent, const QString& title, const QString& text) {
    Tell(parent, title, text);
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

void AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, const QString& name,
                   const QString& address, std::function<void(const QString&, const QString&)> confirmed) {
  prompts.askSubscriber(
      parent, title, name, address, [](const QString& typed) { return AddressRefusal(ToCp1251(typed)); },
      std::move(confirmed));
}

}  // namespace

void AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                   std::function<void()> changed) {
  AskSubscriber(prompts, parent, QStringLiteral("Добавление"), {}, {},
                [&book, changed = std::move(changed)](const QString& name, const QString& address) {
                  book.Add(ToCp1251(name), ToCp1251(address));
                  book.SavePhoneBook();
                  changed();
                });
}

void ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent,
                      std::function<void()> changed) {
  const PhoneBookEntry* entry = book.At(position);
  if (!entry) return;
  AskSubscriber(prompts, parent, QStringLiteral("Изменение"), FromCp1251(entry->Name), FromCp1251(entry->Adr),
                [&book, position, changed = std::move(changed)](const QString& name, const QString& address) {
                  if (!book.At(position)) return;
                  book.Replace(position, ToCp1251(name), ToCp1251(address));
                  book.SavePhoneBook();
                  changed();
                });
}

void DeleteSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent,
                      std::function<void()> changed) {
  const PhoneBookEntry* entry = book.At(position);
  if (!entry) return;
  const QString question =
      QStringLiteral("Удалить абонента \"") + FromCp1251(entry->Name) + QStringLiteral("\"?");
  prompts.askYesNo(parent, QStringLiteral("Удаление"), question,
                   [&book, position, changed = std::move(changed)] {
                     if (!book.At(position)) return;
                     book.Delete(position);
                     book.SavePhoneBook();
                     changed();
                   });
}

void ExportSubscribers(const TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                       const QString& folder) {
  prompts.askSaveFile(parent, QStringLiteral("Экспорт книжки абонентов"), folder, QStringLiteral("Ip.dat"),
                      QStringLiteral("Файлы данных (*.dat);;Все файлы (*.*)"),
                      [&book](const QString& file) { book.ExportPhoneBook(file.toStdString()); });
}

}  // namespace vertamo::ui
