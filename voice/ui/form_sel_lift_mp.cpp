#include "voice/ui/form_sel_lift_mp.h"

#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <string_view>

#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/window_modal.h"
#include "voice/ui/selector_artwork.h"

namespace vertamo::ui {
namespace {

constexpr int kPicture = 40;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect bounds) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(bounds);
  button->setAutoDefault(false);
  // The captions are the server's: nothing to edit or copy there.
  button->setContextMenuPolicy(Qt::NoContextMenu);
  return button;
}

}  // namespace

TFormSelLiftMp::TFormSelLiftMp(TFastIni* ini, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ini_(ini) {
  setObjectName(QStringLiteral("FormSelLiftMp"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(13);
  setFont(font);
  setFixedSize(481, 243);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 0, 481, 243);
  // Created in tab order: "Отмена" first, so it has the focus when shown.
  Button3 = MakeButton(Panel1, "Button3", QStringLiteral("Отмена"), QRect(16, 160, 447, 41));
  ButtonLift = MakeButton(Panel1, "ButtonLift",
                          QStringLiteral("        Начать разговор с КАБИНОЙ ЛИФТА               "),
                          QRect(16, 32, 447, 49));
  ButtonMO = MakeButton(Panel1, "ButtonMO", QStringLiteral("       Начать разговор с МАШИННЫМ ПОМЕЩЕНИЕМ"),
                        QRect(16, 88, 447, 49));
  ButtonLift->setIcon(CabinPicture(kPicture));
  ButtonMO->setIcon(MachineRoomPicture(kPicture));
  for (QPushButton* b : {ButtonLift, ButtonMO}) b->setIconSize(QSize(kPicture, kPicture));
  // Enter presses the cabin button whichever button has the focus.
  ButtonLift->setDefault(true);
  setTabOrder(Button3, ButtonLift);
  setTabOrder(ButtonLift, ButtonMO);
  // Named before showing, or the dialog would hand the focus to its default button.
  Button3->setFocus();

  connect(ButtonLift, &QPushButton::clicked, this, &TFormSelLiftMp::ButtonLiftClick);
  connect(ButtonMO, &QPushButton::clicked, this, &TFormSelLiftMp::ButtonMOClick);
  connect(Button3, &QPushButton::clicked, this, &QDialog::reject);

  if (ini_) {
    TWidgetBounds bounds(this);
    ini_->ReadFormBounds(&bounds);
  }
}

TFormSelLiftMp::~TFormSelLiftMp() = default;

void TFormSelLiftMp::SetCabinCaption(const QString& text) {
  if (text.isEmpty()) return;
  ButtonLift->setText(text);
  if (!text.contains(QStringLiteral("лифт")) && !text.contains(QStringLiteral("ЛИФТ")))
    ButtonLift->setIcon(ButtonMO->icon());
}

void TFormSelLiftMp::SetRoomCaption(const QString& text) {
  if (!text.isEmpty()) ButtonMO->setText(text);
}

void TFormSelLiftMp::ButtonLiftClick() {
  Choice = kCabin;
  accept();
}

void TFormSelLiftMp::ButtonMOClick() {
  Choice = kMachineRoom;
  accept();
}

void TFormSelLiftMp::keyPressEvent(QKeyEvent* event) {
  // Digits of the keypad count as well.
  switch (event->key()) {
    case Qt::Key_1:
      ButtonLift->click();
      return;
    case Qt::Key_2:
      ButtonMO->click();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void TFormSelLiftMp::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Above the voice window, which stays on top as well, and with the keyboard.
  raise();
  activateWindow();
}

void TFormSelLiftMp::done(int result) {
  // Esc, "Отмена" and the close box all end here as a cancel.
  if (result != Accepted) Choice = kCancelled;
  if (!closed_ && ini_) {
    TWidgetBounds bounds(this);
    ini_->WriteFormBounds(&bounds);
  }
  closed_ = true;
  QDialog::done(result);
}

namespace {

// The place both units' texts end with, after a comma: a server that names
// the house names it in both ("Кабина лифта 2, ул. Лесная, 12" and
// "Машинное помещение, ул. Лесная, 12"). Empty when they share none.
QString SharedPlace(const std::string& cabinText, const std::string& roomText) {
  const std::string_view cabin(cabinText), room(roomText);
  for (std::size_t comma = cabin.find(", "); comma != std::string_view::npos; comma = cabin.find(", ", comma + 1)) {
    const std::string_view tail = cabin.substr(comma);
    if (comma == 0 || room.size() <= tail.size() || !room.ends_with(tail)) continue;
    // A house number alone ("12") names no house: a place has a word in it.
    const QString place = FromCp1251(std::string(tail.substr(2))).trimmed();
    if (std::any_of(place.begin(), place.end(), [](QChar c) { return c.isLetter(); })) return place;
  }
  return {};
}

}  // namespace

QString SelectorTitle(const std::string& objectName, const std::string& cabinText, const std::string& roomText) {
  QString title = QStringLiteral("Вызов: ") + FromCp1251(objectName);
  const QString place = SharedPlace(cabinText, roomText);
  if (!place.isEmpty()) title += QStringLiteral(", ") + place;
  return title;
}

TFormSelLiftMp* OpenCallUnitChoice(QWidget* owner, TFastIni* ini, const std::string& cabinText,
                                   const std::string& roomText, const QString& title,
                                   std::function<void(TCallUnit)> chosen) {
  auto* selector = new TFormSelLiftMp(ini, owner);
  if (!title.isEmpty()) selector->setWindowTitle(title);
  selector->SetCabinCaption(FromCp1251(cabinText));
  selector->SetRoomCaption(FromCp1251(roomText));
  QObject::connect(selector, &QDialog::finished, selector, [selector, chosen = std::move(chosen)](int result) {
    if (result != QDialog::Accepted)
      chosen(TCallUnit::Cancelled);
    else
      chosen(selector->Choice == TFormSelLiftMp::kMachineRoom ? TCallUnit::MachineRoom : TCallUnit::Cabin);
  });
  OpenWindowModal(selector);
  return selector;
}

}  // namespace vertamo::ui
