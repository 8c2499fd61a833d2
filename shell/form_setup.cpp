#include "shell/form_setup.h"

#include <QCheckBox>
#include <QLabel>
#include <QStyle>

#include "platform/cp1251.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "ui_form_setup.h"

namespace vertamo::ui {
namespace {

constexpr const char* kServers = "Servers";

std::string ServerKey(size_t n) { return "Srv" + std::to_string(n); }

QString Trimmed(const char* cp1251) { return FromCp1251(cp1251).trimmed(); }

}  // namespace

TFormSetup::TFormSetup(TFastIni* ini, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TFormSetup>()), ini_(ini) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(12);
  setFont(f);
  setFixedSize(576, 374);

  PageControl1 = ui_->PageControl1;
  TabSheet1 = ui_->TabSheet1;
  EditServerName = ui_->EditServerName;
  EditServerIp = ui_->EditServerIp;
  EditServerPort = ui_->EditServerPort;
  EditServerLogin = ui_->EditServerLogin;
  EditServerPassword = ui_->EditServerPassword;
  CheckBoxDebug = ui_->CheckBoxDebug;
  CheckBoxCacheEnable = ui_->CheckBoxCacheEnable;
  ComboBoxServers = ui_->ComboBoxServers;
  BitBtnDel = ui_->BitBtnDel;
  ButtonOK = ui_->ButtonOK;
  ButtonCancel = ui_->ButtonCancel;
  BitBtnDel->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
  // The password is masked; "Показать" right of it shows it.
  EditServerPassword->setEchoMode(QLineEdit::Password);
  CheckBoxShowPassword = new QCheckBox(QStringLiteral("Показать"), EditServerPassword->parentWidget());
  CheckBoxShowPassword->setObjectName(QStringLiteral("CheckBoxShowPassword"));
  const QRect password = EditServerPassword->geometry();
  CheckBoxShowPassword->setGeometry(password.right() + 9, password.top(), 90, password.height());
  setTabOrder(EditServerPassword, CheckBoxShowPassword);
  connect(CheckBoxShowPassword, &QCheckBox::toggled, this, [this](bool shown) {
    EditServerPassword->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
  });
  BitBtnDel->hide();

  connect(ComboBoxServers, &QComboBox::activated, this, &TFormSetup::ComboBoxServersClick);
  connect(BitBtnDel, &QToolButton::clicked, this, &TFormSetup::BitBtnDelClick);
  connect(ButtonOK, &QPushButton::clicked, this, &TFormSetup::ButtonOKClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

  FormCreate();
}

TFormSetup::~TFormSetup() = default;

void TFormSetup::FormCreate() {
  if (ini_ == nullptr) return;
  TWidgetBounds bounds(this);
  ini_->ReadFormBounds(&bounds);
  if (!ini_->SectionExists(kServers)) return;
  // Srv0, Srv1, ... up to the first missing key; empty values and profiles
  // without a name are passed over, the numbering goes on.
  for (size_t n = 0; ini_->ValueExists(kServers, ServerKey(n)); ++n) {
    const std::string value = ini_->ReadString(kServers, ServerKey(n), "");
    if (value.empty()) continue;
    const SERVERINFO p = ProfileFromText(value);
    if (p.Name[0] == '\0') continue;
    ComboBoxServers->addItem(FromCp1251(p.Name));
    servers_.push_back(value);
  }
  ComboBoxServers->setCurrentIndex(-1);
}

void TFormSetup::ShowProfile(SERVERINFO& profile) {
  profile.Modified = false;
  shown_ = profile;
  Show(profile);
}

void TFormSetup::Show(const SERVERINFO& profile) {
  EditServerName->setText(Trimmed(profile.Name));
  EditServerIp->setText(Trimmed(profile.Ip));
  EditServerLogin->setText(Trimmed(profile.Login));
  EditServerPassword->setText(Trimmed(profile.Password));
  EditServerPort->setText(QString::number(profile.Port));
  CheckBoxDebug->setChecked(profile.Debug);
  CheckBoxCacheEnable->setChecked(profile.CacheEnable);
  profile_ = profile;
}

SERVERINFO TFormSetup::GetProfile() {
  SetProfileText(profile_.Name, ToCp1251(EditServerName->text().trimmed()));
  SetProfileText(profile_.Ip, ToCp1251(EditServerIp->text().trimmed()));
  SetProfileText(profile_.Login, ToCp1251(EditServerLogin->text().trimmed()));
  SetProfileText(profile_.Password, ToCp1251(EditServerPassword->text().trimmed()));
  profile_.Port = static_cast<uint16_t>(IniStrToInt(ToCp1251(EditServerPort->text())));
  profile_.Debug = CheckBoxDebug->isChecked();
  profile_.CacheEnable = CheckBoxCacheEnable->isChecked();
  return profile_;
}

void TFormSetup::ComboBoxServersClick(int index) {
  if (index < 0 || static_cast<size_t>(index) >= servers_.size()) return;
  Show(ProfileFromText(servers_[static_cast<size_t>(index)]));
  BitBtnDel->show();
}

void TFormSetup::BitBtnDelClick() {
  const int index = ComboBoxServers->currentIndex();
  if (index < 0 || static_cast<size_t>(index) >= servers_.size()) return;
  const SERVERINFO deleted = ProfileFromText(servers_[static_cast<size_t>(index)]);
  ComboBoxServers->removeItem(index);
  servers_.erase(servers_.begin() + index);
  ComboBoxServers->setCurrentIndex(-1);
  BitBtnDel->hide();
  deleted_ = true;
  // The fields let go of the deleted profile, so that OK does not save it
  // again: they show the profile the dialog opened with, without its name
  // when that is the deleted one.
  SERVERINFO back = shown_;
  if (EqualsIgnoreCaseCp1251(back.Name, deleted.Name)) back.Name[0] = '\0';
  Show(back);
}

void TFormSetup::ButtonOKClick() {
  const SERVERINFO p = GetProfile();
  bool write = deleted_;
  if (p.Name[0] != '\0' && IsValidProfile(p)) {
    // The same name, whatever its letter case, replaces the saved profile.
    const std::string text = ProfileToText(p);
    int found = -1;
    for (int k = 0; k < ComboBoxServers->count() && found < 0; ++k)
      if (EqualsIgnoreCaseCp1251(ToCp1251(ComboBoxServers->itemText(k)), p.Name)) found = k;
    if (found < 0)
      servers_.push_back(text);
    else
      servers_[static_cast<size_t>(found)] = text;
    write = true;
  }
  if (write && ini_) {
    ini_->EraseSection(kServers);
    for (size_t i = 0; i < servers_.size(); ++i) ini_->WriteString(kServers, ServerKey(i), servers_[i]);
  }
  accept();
}

void TFormSetup::done(int result) {
  // FormClose, for OK and Cancel alike.
  if (!closed_ && ini_) {
    TWidgetBounds bounds(this);
    ini_->WriteFormBounds(&bounds);
  }
  closed_ = true;
  QDialog::done(result);
}

bool ApplySetupProfile(SERVERINFO& active, const SERVERINFO& edited) {
  active.Modified = false;
  ApplyProfile(active, edited);
  return active.Modified;
}

QString FirstStartNote() {
  return QStringLiteral("Укажите сервер диспетчерской, к которому подключаться (адрес даст администратор).\n"
                        "Учебный район без сервера: vertamo --demo");
}

void TFormSetup::ShowNote(const QString& note) {
  if (LabelNote || note.isEmpty()) return;
  // The fields move down to make room for the note.
  constexpr int kNoteHeight = 44;
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    child->move(child->x(), child->y() + kNoteHeight);
  LabelNote = new QLabel(note, this);
  LabelNote->setObjectName(QStringLiteral("LabelNote"));
  LabelNote->setGeometry(12, 6, width() - 24, kNoteHeight - 6);
  LabelNote->setWordWrap(true);
  setFixedSize(width(), height() + kNoteHeight);
}

TFormSetup* OpenSetupDialog(QWidget* owner, TFastIni* ini, SERVERINFO& active,
                            std::function<void(const TSetupResult&)> done, const QString& note) {
  auto* dialog = new TFormSetup(ini, owner);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->ShowNote(note);
  dialog->ShowProfile(active);
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog, &active, done = std::move(done)](int code) {
    TSetupResult result;
    result.accepted = code == QDialog::Accepted;
    if (result.accepted) result.reconnect = ApplySetupProfile(active, dialog->GetProfile());
    if (done) done(result);
  });
  dialog->open();
  return dialog;
}

}  // namespace vertamo::ui
