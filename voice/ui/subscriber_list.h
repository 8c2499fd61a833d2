// The address book as the voice window's subscriber list edits it: adding,
// changing, removing and exporting entries. Every question goes through
// TVoicePrompts, so that the dialogs can be answered without a person.
#pragma once

#include <QString>
#include <functional>

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
};

// QInputDialog and QFileDialog.
TVoicePrompts DefaultVoicePrompts();

// The proposal for a new subscriber's name.
inline const QString kSampleSubscriberName = QStringLiteral("Иванов И.И.");

// Asks the name, then the address, under `title`; false unless both are confirmed.
bool AskSubscriber(const TVoicePrompts& prompts, QWidget* parent, const QString& title, QString& name,
                   QString& address);
// Each saves the book when it changed it; false when nothing changed.
bool AddSubscriber(TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent);
bool ChangeSubscriber(TPhoneBook& book, int position, const TVoicePrompts& prompts, QWidget* parent);
bool DeleteSubscriber(TPhoneBook& book, int position);
// Asks for the file ("Ip.dat" in `folder` proposed) and exports the book to it.
bool ExportSubscribers(const TPhoneBook& book, const TVoicePrompts& prompts, QWidget* parent,
                       const QString& folder);

}  // namespace vertamo::ui
