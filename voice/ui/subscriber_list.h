// The address book as the voice window's subscriber list edits it: adding,
// changing, removing and exporting entries. Every question goes through
// TVoicePrompts, so that the dialogs can be answered without a person.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace vertamo {
class TPhoneBook;
}

namespace vertamo::ui {

struct TVoicePrompts {
  // Why an address cannot be dialled; empty when it can.
  using TRefusal = std::function<QString(const QString& address)>;
  // A subscriber's name and address in one form, `name` and `address`
  // proposed: false when cancelled. The form is confirmed only with an
  // address that `refusal` accepts; meanwhile it stays open and says why.
  std::function<bool(QWidget* parent, const QString& title, QString& name, QString& address,
                     const TRefusal& refusal)>
      askSubscriber;
  // A file to save to: empty when not confirmed.
  std::function<QString(QWidget* parent, const QString& title, const QString& folder, const QString& fileName,
                        const QString& filter)>
      askSaveFile;
  // A question answered Yes or No: true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& question)> askYesNo;
  // Something the dispatcher must read before going on.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> tell;
};

// The subscriber form, QFileDialog and QMessageBox.
TVoicePrompts DefaultVoicePrompts();

// Each saves the book when it changed it; false when nothing changed. A new
// subscriber starts empty; an address the phone program cannot dial keeps the
// form open with the reason.
bool AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent);
bool ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent);
// Asks first.
bool DeleteSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent);
// Why the address (code page 1251) cannot be dialled, for the dispatcher;
// empty when it can.
QString AddressRefusal(const std::string& address);
// Asks for the file ("Ip.dat" in `folder` proposed) and exports the book to it.
bool ExportSubscribers(const TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                       const QString& folder);

}  // namespace vertamo::ui
