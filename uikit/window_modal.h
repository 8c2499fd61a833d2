// Dialogs that never hold up a call: each opens modal to its own window only
// and returns at once, without an event loop of its own, so that a ring, the
// talk key and the phone's events are served as ever while the dispatcher
// thinks. The answer goes to a continuation when the dispatcher gives it; a
// dialog freed unanswered (its window closing, the workstation ending) calls
// nothing. Every dialog goes by itself once closed; each is returned, for
// whoever wants to bring it forward or close it.
#pragma once

#include <QFont>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace vertamo::ui {

// Opens `dialog` modal to its own window and lets it go once closed.
void OpenWindowModal(QDialog* dialog);

// A question with "Да" and "Нет"; `answered` gets true for "Да" (Esc is "Нет").
QDialog* AskYesNo(QWidget* parent, const QString& title, const QString& question, bool yesByDefault,
                  std::function<void(bool yes)> answered);
// Something to read, with "OK".
QDialog* Tell(QWidget* parent, const QString& title, const QString& text);
// A line of text, `proposed` filled in; `accepted` only on OK.
QDialog* AskText(QWidget* parent, const QString& title, const QString& label, const QString& proposed,
                 std::function<void(const QString& text)> accepted);
// A file to write, `proposed` (a path) filled in; `chosen` only on OK.
QDialog* AskSaveFile(QWidget* parent, const QString& title, const QString& proposed, const QString& filter,
                     std::function<void(const QString& path)> chosen);
// A font; `closed` gets the font chosen, or `font` itself when cancelled.
QDialog* AskFont(QWidget* parent, const QString& title, const QFont& font,
                 std::function<void(bool chosen, const QFont& font)> closed);

}  // namespace vertamo::ui
