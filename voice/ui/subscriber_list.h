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
  // A line of text: false when not confirmed; `text` comes proposed.
  std::function<bool(QWidget* parent, const QString& title, const QString& label, QString& text)> askText;
  // A file to save to: empty when not confirmed.
  std::function<QString(QWidget* parent, const QString& title, const QString& folder, const QString& fileName,
                        const QString& filter)>
      askSaveFile;
  // A question answered Yes or No: true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& question)> askYesNo;
  // Something the dispatcher must read before going on.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> tell;
};

// QInputDialog and QFileDialog.
TVoicePrompts DefaultVoicePrompts();

// The proposal for a new subscriber's name.
inline const QString kSampleSubscriberName = QStringLiteral("Иванов И.И.");

// Asks the name, then the address, under `title`; false unless both are confirmed.
bool AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, QString& name,
                   QString& address);
// Each saves the book when it changed it; false when nothing changed. An
// address the phone program cannot dial is refused, and the dispatcher told why.
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
