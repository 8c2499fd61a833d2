#include "records/ui/record_player_widget.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <cmath>

namespace vertamo::ui {
namespace {

constexpr int kTickMs = 200;
constexpr int kSliderSteps = 1000;  // per second of record

}  // namespace

QString PlayTimeText(double seconds) {
  const int whole = static_cast<int>(std::lround(std::max(seconds, 0.0)));
  return QStringLiteral("%1:%2").arg(whole / 60, 2, 10, QLatin1Char('0')).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

TRecordPlayerWidget::TRecordPlayerWidget(std::unique_ptr<TRecordPlayer> player, QWidget* parent)
    : QWidget(parent), player_(std::move(player)) {
  setObjectName(QStringLiteral("RecordPlayer"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  ButtonPlay = new QToolButton(this);
  ButtonPlay->setObjectName(QStringLiteral("ButtonPlay"));
  ButtonPlay->setToolTip(QStringLiteral("Прослушать / пауза"));
  SliderPosition = new QSlider(Qt::Horizontal, this);
  SliderPosition->setObjectName(QStringLiteral("SliderPosition"));
  LabelTime = new QLabel(PlayTimeText(0) + QStringLiteral(" / ") + PlayTimeText(0), this);
  ComboBoxChannels = new QComboBox(this);
  ComboBoxChannels->setObjectName(QStringLiteral("ComboBoxChannels"));
  ComboBoxChannels->addItems({QStringLiteral("Оба канала"), QStringLiteral("Только диспетчер"),
                              QStringLiteral("Только собеседник")});
  LabelTitle = new QLabel(this);
  LabelTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long title is cut, never widens the window it sits in (its tip is whole).
  LabelTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  SliderPosition->setMinimumWidth(120);
  layout->addWidget(ButtonPlay);
  layout->addWidget(LabelTime);
  layout->addWidget(SliderPosition, 2);
  layout->addWidget(ComboBoxChannels);
  layout->addWidget(LabelTitle, 1);

  connect(ButtonPlay, &QToolButton::clicked, this, [this] {
    if (player_->Playing()) player_->Pause();
    else player_->Play();
    Show();
  });
  connect(SliderPosition, &QSlider::sliderPressed, this, [this] { dragging_ = true; });
  connect(SliderPosition, &QSlider::sliderReleased, this, [this] {
    dragging_ = false;
    player_->Seek(SliderPosition->value() / static_cast<double>(kSliderSteps));
    Show();
  });
  connect(SliderPosition, &QSlider::actionTriggered, this, [this](int action) {
    // A click on the groove or a key jumps at once; a drag waits for the release.
    if (action != QAbstractSlider::SliderMove)
      QMetaObject::invokeMethod(this, [this] {
        player_->Seek(SliderPosition->value() / static_cast<double>(kSliderSteps));
        Show();
      }, Qt::QueuedConnection);
  });
  connect(ComboBoxChannels, &QComboBox::currentIndexChanged, this,
          [this](int index) { player_->SetChannels(static_cast<TRecordChannels>(index)); });
  tick_.setInterval(kTickMs);
  connect(&tick_, &QTimer::timeout, this, &TRecordPlayerWidget::Show);
  setEnabled(false);
  Show();
}

TRecordPlayerWidget::~TRecordPlayerWidget() { player_->Pause(); }

bool TRecordPlayerWidget::PlayRecord(const QString& path, const QString& title) {
  std::string error;
  setEnabled(true);
  if (!player_->Open(path.toStdString(), &error)) {
    LabelTitle->setText(QStringLiteral("Запись не читается: ") + QString::fromStdString(error));
    setEnabled(false);
    LabelTitle->setEnabled(true);
    Show();
    return false;
  }
  LabelTitle->setText(title);
  LabelTitle->setToolTip(title + QLatin1Char('\n') + path);
  SliderPosition->setRange(0, static_cast<int>(player_->Duration() * kSliderSteps));
  player_->Play();
  tick_.start();
  Show();
  return true;
}

void TRecordPlayerWidget::Stop() {
  player_->Pause();
  Show();
}

void TRecordPlayerWidget::Show() {
  const bool playing = player_->Playing();
  ButtonPlay->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  const QString problem = QString::fromStdString(player_->Problem());
  if (!problem.isEmpty()) LabelTitle->setText(QStringLiteral("Нет звука: ") + problem);
  if (!dragging_) {
    const QSignalBlocker quiet(SliderPosition);
    SliderPosition->setValue(static_cast<int>(player_->Position() * kSliderSteps));
  }
  LabelTime->setText(PlayTimeText(player_->Position()) + QStringLiteral(" / ") + PlayTimeText(player_->Duration()));
  if (!playing) tick_.stop();
  else if (!tick_.isActive()) tick_.start();
}

}  // namespace vertamo::ui
