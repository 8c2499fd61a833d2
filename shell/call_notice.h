// Why a call did not happen, or what the phone program says while no call is
// on screen, told to the dispatcher at once without a box to close: a bold
// line on a yellow ground at the right of the main window's status bar, and a
// line in the telephony log. A passing notice goes by itself after a while;
// a standing one (the phone cannot serve as its settings ask) stays until
// the dispatcher clicks it. The next notice replaces either, unless it comes
// with it: the phone's notices at its start are shown together.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>

class QStatusBar;

namespace vertamo::ui {

class TCallNotice final : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kShownMs = 15000;
  // Notices this close to the one before are shown with it.
  static constexpr int kTogetherMs = 2000;
  // `log` gets each notice (code page 1251); it may be empty.
  TCallNotice(QStatusBar* bar, std::function<void(const std::string&)> log);

  // Shows and logs `text`.
  void Tell(const QString& text, bool standing = false);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::function<void(const std::string&)> log_;
  QTimer hide_;
  QStringList shown_;
  bool standing_ = false;
  QElapsedTimer lastTold_;
};

// The notices themselves.
inline const QString kNoPhoneLink = QStringLiteral("Вызов не сделан: нет связи с телефонной программой");
inline const QString kNoGateway = QStringLiteral("Вызов не сделан: сервер не назвал голосовой шлюз объекта");
inline const QString kNoServerReply = QStringLiteral("Вызов не сделан: сервер не ответил на нажатие");
inline const QString kMapsReloaded =
    QStringLiteral("Вызов не сделан: карты обновились, нажмите на лифт ещё раз");
inline const QString kLiftNotOnMaps =
    QStringLiteral("Вызов не сделан: этого лифта нет на картах сервера");
inline const QString kNoPhoneBook =
    QStringLiteral("Телефонная книга недоступна: нет связи с телефонной программой");

}  // namespace vertamo::ui
