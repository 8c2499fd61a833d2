// Why a call did not happen, told to the dispatcher at once without a box to
// close: a bold line on a yellow ground at the right of the main window's
// status bar that goes by itself after a while (or when the next notice
// replaces it), and a line in the telephony log.
#pragma once

#include <QLabel>
#include <QTimer>
#include <functional>
#include <string>

class QStatusBar;

namespace vertamo::ui {

class TCallNotice final : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kShownMs = 15000;
  // `log` gets each notice (code page 1251); it may be empty.
  TCallNotice(QStatusBar* bar, std::function<void(const std::string&)> log);

  // Shows and logs `text`.
  void Tell(const QString& text);

 private:
  std::function<void(const std::string&)> log_;
  QTimer hide_;
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
