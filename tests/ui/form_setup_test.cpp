// The settings dialog: its controls, the saved servers of section "Servers",
// choosing and deleting one, the OK / Cancel rules, and the main window's
// decision to reconnect.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "platform/cp1251.h"
#include "settings/fast_ini.h"
#include "settings/server_profile.h"
#include "shell/form_setup.h"
#include "uikit/qt_text.h"
#include "support/temp_folder.h"

using vertamo::ApplyProfile;
using vertamo::DefaultProfile;
using vertamo::ProfileFromText;
using vertamo::ProfileToText;
using vertamo::SERVERINFO;
using vertamo::SetProfileText;
using vertamo::TFastIni;
using vertamo::Utf8ToCp1251;
using vertamo::testing::TempFolder;
using vertamo::ui::ApplySetupProfile;
using vertamo::ui::OpenSetupDialog;
using vertamo::ui::TFormSetup;
using vertamo::ui::TSetupResult;

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

SERVERINFO Profile(const char* name, const char* ip, int port) {
  SERVERINFO p = DefaultProfile();
  SetProfileText(p.Name, Cp(name));
  SetProfileText(p.Ip, ip);
  p.Port = static_cast<uint16_t>(port);
  return p;
}

// The Srv keys present in the settings, in order, with their values.
std::vector<std::pair<std::string, std::string>> Servers(const TFastIni& ini) {
  std::vector<std::pair<std::string, std::string>> out;
  for (int i = 0; i < ini.SectionCount(); ++i) {
    const auto* s = ini.Section(i);
    if (s->name != "Servers") continue;
    for (const auto& k : s->keys) out.emplace_back(k.name, k.value);
  }
  return out;
}

// Runs the dialog the way the main window does; `act` plays the dispatcher
// and ends by clicking OK or Cancel.
TSetupResult Run(TFastIni& ini, SERVERINFO& active, const std::function<void(TFormSetup&)>& act) {
  TSetupResult result;
  bool closed = false;
  TFormSetup* dialog = OpenSetupDialog(nullptr, &ini, active, [&](const TSetupResult& r) {
    result = r;
    closed = true;
  });
  act(*dialog);
  if (!closed) dialog->close();
  return result;
}

void Choose(TFormSetup& dialog, int index) {
  dialog.ComboBoxServers->setCurrentIndex(index);
  emit dialog.ComboBoxServers->activated(index);
}

}  // namespace

class FormSetupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_ = std::make_unique<TempFolder>();
    ini_ = std::make_unique<TFastIni>(folder_->file("Vertamo.ini"));
  }
  void cleanup() {
    ini_.reset();
    folder_.reset();
  }

  void controlsAndTexts() {
    TFormSetup dialog(ini_.get());
    QCOMPARE(dialog.objectName(), QStringLiteral("FormSetup"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Настройки программы"));
    QCOMPARE(dialog.size(), QSize(576, 374));
    QCOMPARE(dialog.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(dialog.font().pixelSize(), 12);
    QCOMPARE(dialog.PageControl1->count(), 1);
    QCOMPARE(dialog.PageControl1->tabText(0), QStringLiteral("Сервер Orvex"));
    QCOMPARE(dialog.ButtonOK->text(), QStringLiteral("ОК"));
    QVERIFY(dialog.ButtonOK->isDefault());
    QCOMPARE(dialog.ButtonCancel->text(), QStringLiteral("Отмена"));
    QCOMPARE(dialog.CheckBoxDebug->text(), QStringLiteral("Протокол работы"));
    QCOMPARE(dialog.CheckBoxCacheEnable->text(), QStringLiteral("Кэширование карт"));
    QCOMPARE(dialog.BitBtnDel->toolTip(), QStringLiteral("Удалить сервер"));
    QVERIFY(dialog.BitBtnDel->isHidden());
    QVERIFY(!dialog.ComboBoxServers->isEditable());

    // The label left of each control, and the rows they stand in.
    const struct {
      QWidget* control;
      const char* label;
      int row;
    } rows[] = {
        {dialog.ComboBoxServers, "Серверы:", 24}, {dialog.EditServerName, "Название:", 64},
        {dialog.EditServerIp, "Адрес:", 92},      {dialog.EditServerPort, "Порт:", 120},
        {dialog.EditServerLogin, "Логин:", 148},  {dialog.EditServerPassword, "Пароль:", 176},
    };
    const auto labels = dialog.TabSheet1->findChildren<QLabel*>();
    for (const auto& r : rows) {
      QCOMPARE(r.control->y(), r.row);
      bool found = false;
      for (QLabel* l : labels)
        if (l->text() == QString::fromUtf8(r.label) && l->geometry().right() < r.control->x() &&
            qAbs(l->geometry().center().y() - r.control->geometry().center().y()) <= 2)
          found = true;
      QVERIFY2(found, r.label);
    }
    QCOMPARE(dialog.CheckBoxCacheEnable->y(), 214);
    QCOMPARE(dialog.CheckBoxDebug->y(), 240);
    // The password is masked until "Показать" beside it is checked.
    QCOMPARE(dialog.EditServerPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.CheckBoxShowPassword->text(), QStringLiteral("Показать"));
    QCOMPARE(dialog.CheckBoxShowPassword->y(), 176);
    QVERIFY(dialog.CheckBoxShowPassword->x() > dialog.EditServerPassword->geometry().right());
    QVERIFY(dialog.TabSheet1->rect().contains(dialog.CheckBoxShowPassword->geometry()));
    dialog.CheckBoxShowPassword->click();
    QCOMPARE(dialog.EditServerPassword->echoMode(), QLineEdit::Normal);
    dialog.CheckBoxShowPassword->click();
    QCOMPARE(dialog.EditServerPassword->echoMode(), QLineEdit::Password);

    // Tab order: the edits, the switches as the screen shows them, the list,
    // then the buttons.
    const QList<QWidget*> order = {
        dialog.EditServerName,     dialog.EditServerIp,        dialog.EditServerPort, dialog.EditServerLogin,
        dialog.EditServerPassword, dialog.CheckBoxShowPassword, dialog.CheckBoxCacheEnable, dialog.CheckBoxDebug,  dialog.ComboBoxServers,
        dialog.BitBtnDel,          dialog.ButtonOK,            dialog.ButtonCancel};
    QList<QWidget*> seen;
    QWidget* w = order.first();
    for (int i = 0; i < 1000 && seen.size() < order.size(); ++i, w = w->nextInFocusChain())
      if (order.contains(w) && !seen.contains(w)) seen.append(w);
    QCOMPARE(seen, order);
  }

  void showAndGetProfile() {
    TFormSetup dialog(ini_.get());
    SERVERINFO p = Profile("  Главный  ", " 10.0.0.5 ", 9901);
    SetProfileText(p.Login, " disp ");
    SetProfileText(p.Password, "secret ");
    p.Debug = true;
    p.CacheEnable = false;
    p.Modified = true;
    dialog.ShowProfile(p);
    QVERIFY(!p.Modified);  // the changed mark is cleared
    QCOMPARE(dialog.EditServerName->text(), QStringLiteral("Главный"));
    QCOMPARE(dialog.EditServerIp->text(), QStringLiteral("10.0.0.5"));
    QCOMPARE(dialog.EditServerPort->text(), QStringLiteral("9901"));
    QCOMPARE(dialog.EditServerLogin->text(), QStringLiteral("disp"));
    QCOMPARE(dialog.EditServerPassword->text(), QStringLiteral("secret"));
    QVERIFY(dialog.CheckBoxDebug->isChecked());
    QVERIFY(!dialog.CheckBoxCacheEnable->isChecked());

    dialog.EditServerName->setText(QStringLiteral("  Резерв "));
    dialog.EditServerPort->setText(QStringLiteral(" 9950x"));
    const SERVERINFO got = dialog.GetProfile();
    QCOMPARE(std::string(got.Name), Cp("Резерв"));
    QCOMPARE(got.Port, uint16_t(9950));
    QCOMPARE(std::string(got.Ip), std::string("10.0.0.5"));
    dialog.EditServerPort->setText(QStringLiteral("abc"));
    QCOMPARE(dialog.GetProfile().Port, uint16_t(0));
    dialog.EditServerPort->setText(QStringLiteral("70000"));  // low 16 bits
    QCOMPARE(dialog.GetProfile().Port, uint16_t(70000 & 0xFFFF));
  }

  // Srv0, Srv1 and Srv3: the gap ends the list; OK writes Srv0 ... without gaps.
  void gapEndsTheListAndOkRenumbers() {
    ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Один", "10.0.0.1", 9900)));
    ini_->WriteString("Servers", "Srv1", ProfileToText(Profile("Два", "10.0.0.2", 9900)));
    ini_->WriteString("Servers", "Srv3", ProfileToText(Profile("Четыре", "10.0.0.4", 9900)));
    SERVERINFO active = Profile("Новый", "10.0.0.9", 9900);
    const TSetupResult r = Run(*ini_, active, [](TFormSetup& d) {
      QCOMPARE(d.ComboBoxServers->count(), 2);
      QCOMPARE(d.ComboBoxServers->itemText(0), QStringLiteral("Один"));
      QCOMPARE(d.ComboBoxServers->itemText(1), QStringLiteral("Два"));
      QCOMPARE(d.ComboBoxServers->currentIndex(), -1);
      d.ButtonOK->click();
    });
    QVERIFY(r.accepted);
    QVERIFY(!r.reconnect);
    const auto servers = Servers(*ini_);
    QCOMPARE(servers.size(), size_t(3));
    QCOMPARE(servers[0].first, std::string("Srv0"));
    QCOMPARE(servers[1].first, std::string("Srv1"));
    QCOMPARE(servers[2].first, std::string("Srv2"));
    QCOMPARE(std::string(ProfileFromText(servers[2].second).Name), Cp("Новый"));
    QVERIFY(!ini_->ValueExists("Servers", "Srv3"));
  }

  void emptyAndNamelessEntriesAreSkippedAndNumberingGoesOn() {
    ini_->WriteString("Servers", "Srv0", "");
    ini_->WriteString("Servers", "Srv1", ";10.0.0.1;u;p;9900;0;1;");
    ini_->WriteString("Servers", "Srv2", "Keep;10.0.0.2;u;p;09900;0;1;");
    TFormSetup dialog(ini_.get());
    QCOMPARE(dialog.ComboBoxServers->count(), 1);
    QCOMPARE(dialog.ComboBoxServers->itemText(0), QStringLiteral("Keep"));
    // The value is kept as it was written.
    QCOMPARE(dialog.SavedServers(), std::vector<std::string>{"Keep;10.0.0.2;u;p;09900;0;1;"});
  }

  void sameNameInAnotherCaseReplacesTheSavedProfile() {
    ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Alpha", "10.0.0.1", 9900)));
    ini_->WriteString("Servers", "Srv1", ProfileToText(Profile("Центр", "10.0.0.2", 9900)));
    SERVERINFO active = Profile("ЦЕНТР", "10.0.0.22", 9911);
    Run(*ini_, active, [](TFormSetup& d) { d.ButtonOK->click(); });
    auto servers = Servers(*ini_);
    QCOMPARE(servers.size(), size_t(2));
    const SERVERINFO replaced = ProfileFromText(servers[1].second);
    QCOMPARE(std::string(replaced.Name), Cp("ЦЕНТР"));
    QCOMPARE(std::string(replaced.Ip), std::string("10.0.0.22"));
    QCOMPARE(replaced.Port, uint16_t(9911));

    active = Profile("ALPHA", "10.0.0.11", 9900);
    Run(*ini_, active, [](TFormSetup& d) { d.ButtonOK->click(); });
    servers = Servers(*ini_);
    QCOMPARE(servers.size(), size_t(2));
    QCOMPARE(std::string(ProfileFromText(servers[0].second).Name), std::string("ALPHA"));
  }

  void deletingThenCancelKeepsTheSavedProfile() {
    ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Один", "10.0.0.1", 9900)));
    ini_->WriteString("Servers", "Srv1", ProfileToText(Profile("Два", "10.0.0.2", 9900)));
    const std::string before = ini_->ToText();
    SERVERINFO active = Profile("Активный", "10.0.0.7", 9900);
    const SERVERINFO original = active;
    const TSetupResult r = Run(*ini_, active, [](TFormSetup& d) {
      Choose(d, 0);
      QVERIFY(!d.BitBtnDel->isHidden());
      d.BitBtnDel->click();
      QCOMPARE(d.ComboBoxServers->count(), 1);
      QCOMPARE(d.ComboBoxServers->currentIndex(), -1);
      QVERIFY(d.BitBtnDel->isHidden());
      d.EditServerPort->setText(QStringLiteral("9999"));
      d.ButtonCancel->click();
    });
    QVERIFY(!r.accepted);
    QVERIFY(!r.reconnect);
    QCOMPARE(Servers(*ini_).size(), size_t(2));
    QCOMPARE(active.Port, original.Port);  // the edit is lost too
    // Only the window bounds were stored.
    QVERIFY(ini_->SectionExists("FormSetup"));
    QCOMPARE(ini_->ReadString("Servers", "Srv0", ""), ProfileToText(Profile("Один", "10.0.0.1", 9900)));
    QVERIFY(before != ini_->ToText());
  }

  void deletingLetsTheFieldsGoOfTheDeletedProfile() {
    struct Case {
      const char* active;
      const char* nameAfter;  // in the name field after the deletion
      size_t saved;           // saved profiles after OK
    };
    // Another active profile comes back into the fields (and OK saves it as
    // ever); the deleted active one comes back without its name, so that OK
    // neither saves it again nor forgets the deletion.
    for (const Case& c : {Case{"Активный", "Активный", 2}, Case{"Один", "", 1}}) {
      ini_->EraseSection("Servers");
      ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Один", "10.0.0.1", 9900)));
      ini_->WriteString("Servers", "Srv1", ProfileToText(Profile("Два", "10.0.0.2", 9900)));
      SERVERINFO active = Profile(c.active, "10.0.0.7", 9900);
      const TSetupResult r = Run(*ini_, active, [&](TFormSetup& d) {
        Choose(d, 0);
        d.BitBtnDel->click();
        QCOMPARE(d.EditServerName->text(), QString::fromUtf8(c.nameAfter));
        QCOMPARE(d.EditServerIp->text(), QStringLiteral("10.0.0.7"));
        d.ButtonOK->click();
      });
      QVERIFY(r.accepted);
      const auto servers = Servers(*ini_);
      QCOMPARE(servers.size(), c.saved);
      for (const auto& s : servers) QVERIFY(std::string(ProfileFromText(s.second).Name) != Cp("Один"));
      QCOMPARE(std::string(active.Name), Cp(c.nameAfter));
      QCOMPARE(std::string(active.Ip), std::string("10.0.0.7"));
    }
  }

  void deletingThenOkWithAValidProfileRemovesIt() {
    ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Один", "10.0.0.1", 9900)));
    ini_->WriteString("Servers", "Srv1", ProfileToText(Profile("Два", "10.0.0.2", 9900)));
    SERVERINFO active = Profile("Два", "10.0.0.2", 9900);
    Run(*ini_, active, [](TFormSetup& d) {
      Choose(d, 0);
      d.BitBtnDel->click();
      d.EditServerName->setText(QStringLiteral("Два"));
      d.EditServerIp->setText(QStringLiteral("10.0.0.2"));
      d.ButtonOK->click();
    });
    const auto servers = Servers(*ini_);
    QCOMPARE(servers.size(), size_t(1));
    QCOMPARE(servers[0].first, std::string("Srv0"));
    QCOMPARE(std::string(ProfileFromText(servers[0].second).Name), Cp("Два"));
  }

  void port80IsActiveButNotSaved() {
    ini_->WriteString("Servers", "Srv0", ProfileToText(Profile("Один", "10.0.0.1", 9900)));
    SERVERINFO active = Profile("Один", "10.0.0.1", 9900);
    const TSetupResult r = Run(*ini_, active, [](TFormSetup& d) {
      d.EditServerName->setText(QStringLiteral("Веб"));
      d.EditServerPort->setText(QStringLiteral("80"));
      d.ButtonOK->click();
    });
    QVERIFY(r.accepted);
    QVERIFY(r.reconnect);
    QCOMPARE(active.Port, uint16_t(80));
    QCOMPARE(std::string(active.Name), Cp("Веб"));
    const auto servers = Servers(*ini_);
    QCOMPARE(servers.size(), size_t(1));
    QCOMPARE(std::string(ProfileFromText(servers[0].second).Name), Cp("Один"));
    // An address of blanks is not valid either.
    SERVERINFO other = Profile("Пустой", "10.0.0.3", 9900);
    Run(*ini_, other, [](TFormSetup& d) {
      d.EditServerIp->setText(QStringLiteral("   "));
      d.ButtonOK->click();
    });
    QCOMPARE(Servers(*ini_).size(), size_t(1));
  }

  void choosingASavedProfileMakesItActive() {
    const SERVERINFO saved = Profile("Запас", "10.0.0.3", 9902);
    ini_->WriteString("Servers", "Srv0", ProfileToText(saved));
    SERVERINFO active = Profile("Основной", "10.0.0.1", 9900);
    TSetupResult r = Run(*ini_, active, [](TFormSetup& d) {
      Choose(d, 0);
      QCOMPARE(d.EditServerName->text(), QStringLiteral("Запас"));
      QCOMPARE(d.EditServerPort->text(), QStringLiteral("9902"));
      d.ButtonOK->click();
    });
    QVERIFY(r.reconnect);
    QCOMPARE(std::string(active.Name), Cp("Запас"));
    QCOMPARE(active.Port, uint16_t(9902));
    // The same choice again: nothing differs, no reconnect.
    r = Run(*ini_, active, [](TFormSetup& d) {
      Choose(d, 0);
      d.ButtonOK->click();
    });
    QVERIFY(r.accepted);
    QVERIFY(!r.reconnect);
  }

  // The main window reconnects exactly when the applied profile changed.
  void reconnectDecision_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("OK without change") << "" << false;
    QTest::newRow("port alone") << "port" << true;
    QTest::newRow("Debug alone") << "debug" << true;
    QTest::newRow("CacheEnable alone") << "cache" << true;
    QTest::newRow("address") << "ip" << true;
    QTest::newRow("password") << "password" << true;
    QTest::newRow("blanks around the name only") << "blanks" << false;
  }
  void reconnectDecision() {
    QFETCH(QString, field);
    QFETCH(bool, reconnect);
    SERVERINFO active = Profile("Основной", "10.0.0.1", 9900);
    active.Modified = true;  // left over from an earlier change: cleared by the dialog
    const TSetupResult r = Run(*ini_, active, [&](TFormSetup& d) {
      if (field == "port") d.EditServerPort->setText(QStringLiteral("9901"));
      if (field == "debug") d.CheckBoxDebug->setChecked(!d.CheckBoxDebug->isChecked());
      if (field == "cache") d.CheckBoxCacheEnable->setChecked(!d.CheckBoxCacheEnable->isChecked());
      if (field == "ip") d.EditServerIp->setText(QStringLiteral("10.0.0.2"));
      if (field == "password") d.EditServerPassword->setText(QStringLiteral("other"));
      if (field == "blanks") d.EditServerName->setText(QStringLiteral("  Основной "));
      d.ButtonOK->click();
    });
    QVERIFY(r.accepted);
    QCOMPARE(r.reconnect, reconnect);
    QCOMPARE(active.Modified, reconnect);
  }

  void decisionFunctionAlone() {
    SERVERINFO active = Profile("A", "h", 9900);
    SERVERINFO edited = active;
    active.Modified = true;
    QVERIFY(!ApplySetupProfile(active, edited));
    edited.Port = 9901;
    QVERIFY(ApplySetupProfile(active, edited));
    QCOMPARE(active.Port, uint16_t(9901));
  }

  void boundsAreKeptUnderFormSetup() {
    {
      TFormSetup dialog(ini_.get());
      dialog.move(123, 77);
      dialog.reject();
    }
    QVERIFY(ini_->ValueExists("FormSetup", "Left"));
    QVERIFY(ini_->ValueExists("FormSetup", "Width"));
  }

 private:
  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<TFastIni> ini_;
};

QTEST_MAIN(FormSetupTest)
#include "form_setup_test.moc"
