// Qt's own Russian texts on the standard buttons once the program's
// translation is installed.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include "shell/qt_translations.h"

class QtTranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void standardButtonsSpeakRussian() {
    const auto texts = [] {
      QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
      return QStringList{box.button(QDialogButtonBox::Yes)->text(), box.button(QDialogButtonBox::No)->text(),
                         box.button(QDialogButtonBox::Cancel)->text()};
    };
    QCOMPARE(texts(), (QStringList{"&Yes", "&No", "Cancel"}));
    QVERIFY(vertamo::ui::InstallQtTranslations(*QCoreApplication::instance()));
    QCOMPARE(texts(), (QStringList{"&Да", "&Нет", "Отмена"}));
  }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
