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
  // A line of text, `text` proposed; `accepted` only when confirmed.
  std::function<void(QWidget* parent, const QString& title, const QString& label, const QString& text,
                     std::function<void(const QString& text)> accepted)>
      askText;
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

// The desktop's dialogs.
TVoicePrompts DefaultVoicePrompts();

// The proposal for a new subscriber's name.
inline const QString kSampleSubscriberName = QStringLiteral("Иванов И.И.");

// Asks the name, then the address, under `title`; `confirmed` once both are.
void AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, const QString& name,
                   const QString& address,
                   std::function<void(const QString& name, const QString& address)> confirmed);
// Each saves the book when the dispatcher changed it, then calls `changed`.
// An address the phone program cannot dial is refused, and the dispatcher
// told why. `book` outlives the questions.
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
