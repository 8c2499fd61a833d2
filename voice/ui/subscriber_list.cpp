#include "voice/ui/subscriber_list.h"

#include <QDir>

#include "iptel/dial_address.h"
#include "uikit/qt_text.h"
#include "uikit/window_modal.h"
#include "voice/phone_book.h"

namespace vertamo::ui {

TVoicePrompts DefaultVoicePrompts() {
  TVoicePrompts prompts;
  prompts.askText = [](QWidget* parent, const QString& title, const QString& label, const QString& text,
                       std::function<void(const QString&)> accepted) {
    AskText(parent, title, label, text, std::move(accepted));
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

// Tells why the address cannot be dialled; true when it can.
bool Diallable(const TVoicePrompts& prompts, QWidget* parent, const QString& title, const QString& address) {
  const QString refusal = AddressRefusal(ToCp1251(address));
  if (refusal.isEmpty()) return true;
  prompts.tell(parent, title, refusal);
  return false;
}

}  // namespace

void AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, const QString& name,
                   const QString& address,
                   std::function<void(const QString& name, const QString& address)> confirmed) {
  prompts.askText(
      parent, title, QStringLiteral("Введите имя абонента"), name,
      [prompts, parent, title, address, confirmed = std::move(confirmed)](const QString& newName) {
        prompts.askText(parent, title, QStringLiteral("Введите IP адрес"), address,
                        [newName, confirmed](const QString& newAddress) { confirmed(newName, newAddress); });
      });
}

void AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                   std::function<void()> changed) {
  const QString title = QStringLiteral("Добавление");
  AskSubscriber(prompts, parent, title, kSampleSubscriberName, QStringLiteral("ipadr"),
                [&book, prompts, parent, title, changed = std::move(changed)](const QString& name,
                                                                              const QString& address) {
                  if (!Diallable(prompts, parent, title, address)) return;
                  book.Add(ToCp1251(name), ToCp1251(address));
                  book.SavePhoneBook();
                  changed();
                });
}

void ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent,
                      std::function<void()> changed) {
  const PhoneBookEntry* entry = book.At(position);
  if (!entry) return;
  const QString title = QStringLiteral("Изменение");
  AskSubscriber(prompts, parent, title, FromCp1251(entry->Name), FromCp1251(entry->Adr),
                [&book, position, prompts, parent, title, changed = std::move(changed)](
                    const QString& name, const QString& address) {
                  if (!Diallable(prompts, parent, title, address) || !book.At(position)) return;
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
