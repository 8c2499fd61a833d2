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

// Each question opens modal to the voice window only and returns at once:
// a ring meanwhile is answered as ever. The answer comes to a continuation,
// which a question left unanswered (the window closing) never calls.
struct TVoicePrompts {
  // Why an address cannot be dialled; empty when it can.
  using TRefusal = std::function<QString(const QString& address)>;
  // A subscriber's name and address in one form, `name` and `address`
  // proposed; `confirmed` only on OK. The form is confirmed only with an
  // address that `refusal` accepts; meanwhile it stays open and says why.
  std::function<void(QWidget* parent, const QString& title, const QString& name, const QString& address,
                     const TRefusal& refusal,
                     std::function<void(const QString& name, const QString& address)> confirmed)>
      askSubscriber;
  // A file to save to; `chosen` only when confirmed.
  std::function<void(QWidget* parent, const QString& title, const QString& folder, const QString& fileName,
                     const QString& filter, std::function<void(const QString& path)> chosen)>
      askSaveFile;
  // A question answered Yes or No ("Нет" the default); `yes` only for Yes.
  std::function<void(QWidget* parent, const QString& title, const QString& question,
                     std::function<void()> yes)>
      askYesNo;
  // Something the dispatcher must read.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> tell;
};

// The subscriber form, QFileDialog and QMessageBox.
TVoicePrompts DefaultVoicePrompts();

// Each saves the book once the dispatcher changed it, then calls `changed`.
// A new subscriber starts empty; an address the phone program cannot dial
// keeps the form open with the reason. `book` outlives the questions.
void AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                   std::function<void()> changed);
void ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent,
                      std::function<void()> changed);
// Asks first.
void DeleteSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent,
                      std::function<void()> changed);
// Why the address (code page 1251) cannot be dialled, for the dispatcher;
// empty when it can.
QString AddressRefusal(const std::string& address);
// Asks for the file ("Ip.dat" in `folder` proposed) and exports the book to it.
void ExportSubscribers(const TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                       const QString& folder);

}  // namespace vertamo::ui
