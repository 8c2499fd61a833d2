// The small form in which a subscriber of the address book is added or
// changed: the name and the address together. A mistyped address keeps the
// form open, with what was typed and the reason under the fields, until the
// dispatcher mends it or cancels.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace vertamo::ui {

class TSubscriberForm : public QDialog {
  Q_OBJECT

 public:
  // Why an address cannot be used; empty when it can.
  using TRefusal = std::function<QString(const QString& address)>;

  TSubscriberForm(const QString& title, const QString& name, const QString& address, TRefusal refusal,
                  QWidget* parent = nullptr);

  QString Name() const;
  QString Address() const;

  QLineEdit* EditName = nullptr;
  QLineEdit* EditAddress = nullptr;
  QLabel* LabelReason = nullptr;  // why the address was refused
  QDialogButtonBox* Buttons = nullptr;

 public slots:
  // OK: accepted only with a name and an address that can be dialled.
  void accept() override;

 private:
  void UpdateOk();

  TRefusal refusal_;
};

}  // namespace vertamo::ui
