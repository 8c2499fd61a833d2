#include "shell/call_keys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace vertamo::ui {

bool TypesText(const QObject* widget) {
  if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
      qobject_cast<const QKeySequenceEdit*>(widget))
    return true;
  if (const auto* edit = qobject_cast<const QTextEdit*>(widget)) return !edit->isReadOnly();
  if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) return !edit->isReadOnly();
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->isEditable();
  return false;
}

TCallKeys::TCallKeys(THandlers handlers, QObject* parent)
    : QObject(parent),
      handlers_(std::move(handlers)),
      talkKey_([this] { handlers_.talk(true); }, [this] { handlers_.talk(false); }, this) {
  qApp->installEventFilter(this);
}

TCallKeys::~TCallKeys() { qApp->removeEventFilter(this); }

bool TCallKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  if (!watched->isWidgetType()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Space && key->key() != Qt::Key_Escape) return false;
  if (!handlers_.inCall()) {
    // A hold that outlived its call ends, so that the next call's first
    // press counts.
    if (key->key() == Qt::Key_Space && type == QEvent::KeyRelease && !key->isAutoRepeat() && talkKey_.Held())
      talkKey_.Release();
    return false;
  }
  if (key->modifiers() & ~Qt::KeypadModifier) return false;
  if (TypesText(QApplication::focusWidget()) || QApplication::activePopupWidget()) return false;
  const bool press = type == QEvent::KeyPress;
  if (key->key() == Qt::Key_Escape) {
    // A question about the call is answered first.
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) return false;
    if (press && !key->isAutoRepeat()) handlers_.escape();
    return true;
  }
  // Held down, the key repeats: only a hold's press and release count.
  if (!key->isAutoRepeat()) press ? talkKey_.Press() : talkKey_.Release();
  return true;
}

}  // namespace vertamo::ui
