#include "voice/ui/subscriber_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vertamo::ui {

TSubscriberForm::TSubscriberForm(const QString& title, const QString& name, const QString& address,
                                 TRefusal refusal, QWidget* parent)
    : QDialog(parent), refusal_(std::move(refusal)) {
  setObjectName(QStringLiteral("SubscriberForm"));
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  EditName = new QLineEdit(name, this);
  EditName->setObjectName(QStringLiteral("EditName"));
  EditName->setMaxLength(63);
  EditAddress = new QLineEdit(address, this);
  EditAddress->setObjectName(QStringLiteral("EditAddress"));
  EditAddress->setMaxLength(63);
  EditAddress->setPlaceholderText(QStringLiteral("IP адрес или имя узла"));
  fields->addRow(QStringLiteral("&Имя абонента:"), EditName);
  fields->addRow(QStringLiteral("&Адрес:"), EditAddress);
  layout->addLayout(fields);
  LabelReason = new QLabel(this);
  LabelReason->setObjectName(QStringLiteral("LabelReason"));
  LabelReason->setWordWrap(true);
  QPalette red = LabelReason->palette();
  red.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
  LabelReason->setPalette(red);
  LabelReason->hide();
  layout->addWidget(LabelReason);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(Buttons);
  connect(Buttons, &QDialogButtonBox::accepted, this, &TSubscriberForm::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // Typing again takes the old reason away.
  for (QLineEdit* edit : {EditName, EditAddress})
    connect(edit, &QLineEdit::textChanged, this, [this] {
      LabelReason->hide();
      UpdateOk();
    });
  setMinimumWidth(360);
  UpdateOk();
}

QString TSubscriberForm::Name() const { return EditName->text().trimmed(); }
QString TSubscriberForm::Address() const { return EditAddress->text().trimmed(); }

void TSubscriberForm::UpdateOk() {
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(!Name().isEmpty() && !Address().isEmpty());
}

void TSubscriberForm::accept() {
  if (Name().isEmpty() || Address().isEmpty()) return;
  const QString reason = refusal_ ? refusal_(Address()) : QString();
  if (!reason.isEmpty()) {
    LabelReason->setText(reason);
    LabelReason->show();
    EditAddress->setFocus();
    EditAddress->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace vertamo::ui
