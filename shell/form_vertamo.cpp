#include "shell/form_vertamo.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "platform/folders.h"
#include "shell/qt_text.h"
#include "shell/widget_bounds.h"

namespace vertamo::ui {
namespace {

constexpr const char* kMainIniName = "Vertamo.ini";
constexpr const char* kProfileSection = "ServerInfo";

QFont Tahoma(int pixelSize) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

TFormVertamo::TFormVertamo(TAppSettings& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings) {
  // 1. The work folder becomes the current folder and gets its "Wave" folder.
  if (settings_.WorkFolder.empty()) settings_.ChooseWorkFolder("Vertamo");
  SetCurrentFolder(settings_.WorkFolder);
  MakeFolder(settings_.WorkPath("Wave"));
  // 2. ProgramFolder is known to the settings since they were made.

  BuildWindow();
  FormCreate();
}

TFormVertamo::~TFormVertamo() {
  // A window destroyed without being closed keeps its settings all the same.
  if (!closed_) FormClose();
}

void TFormVertamo::BuildWindow() {
  setObjectName(QStringLiteral("FormVertamo"));
  setWindowTitle(QStringLiteral("Подключение..."));
  setFont(Tahoma(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(pal);
  setAutoFillBackground(true);

  // The client area stacks its children in one cell: the server label now,
  // the map tabs over it later.
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  auto* layout = new QGridLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  LabelSrv = new QLabel(client);
  LabelSrv->setObjectName(QStringLiteral("LabelSrv"));
  LabelSrv->setFont(Tahoma(32));
  LabelSrv->setAlignment(Qt::AlignCenter);
  LabelSrv->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);  // never holds the window's size
  layout->addWidget(LabelSrv, 0, 0);
  setCentralWidget(client);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  for (int i = 0; i < 2; ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    StatusPanels[i]->setFrameShape(QFrame::Panel);
    StatusPanels[i]->setFrameShadow(QFrame::Sunken);
  }
  StatusPanels[0]->setFixedWidth(200);
  StatusPanels[1]->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanels[0]);
  StatusBar1->addWidget(StatusPanels[1], 1);  // the last panel stretches
  setStatusBar(StatusBar1);

  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  mFile = menuBar()->addMenu(QStringLiteral("&Файл"));
  mFile->setObjectName(QStringLiteral("mFile"));
  mSetup = mFile->addAction(QStringLiteral("Настройки"));
  mSetup->setObjectName(QStringLiteral("mSetup"));
  mFile->addSeparator();
  mClose = mFile->addAction(QStringLiteral("Выход"));
  mClose->setObjectName(QStringLiteral("mClose"));
  connect(mSetup, &QAction::triggered, this, &TFormVertamo::mSetupClick);
  connect(mClose, &QAction::triggered, this, &TFormVertamo::mCloseClick);

  // Outer size 909 x 596 at 0,0 until the settings say otherwise.
  TWidgetBounds bounds(this);
  bounds.setLeft(0);
  bounds.setTop(0);
  bounds.setWidth(kInitialWidth);
  bounds.setHeight(kInitialHeight);
}

void TFormVertamo::FormCreate() {
  // 1. The main settings and the window's place.
  settings_.OpenMainIni(kMainIniName);
  TWidgetBounds bounds(this);
  settings_.RestoreFormPos(bounds);
  // 2. The server profile.
  profile_ = LoadProfile(*settings_.MainIni, kProfileSection);
  // 3. The server caption.
  ShowServerCaption();
}

void TFormVertamo::FormClose() {
  closed_ = true;
  // 1. The window's place.
  settings_.SaveFormPos(TWidgetBounds(this));
  // 2. The server profile.
  if (settings_.MainIni) SaveProfile(*settings_.MainIni, kProfileSection, profile_);
  // 8. The main settings reach the disk.
  settings_.CloseMainIni();
}

void TFormVertamo::ShowServerCaption() {
  LabelSrv->setText(QStringLiteral("Подключение к серверу ") + FromCp1251(profile_.Name));
}

void TFormVertamo::closeEvent(QCloseEvent* event) {
  if (!closed_) FormClose();
  event->accept();
}

void TFormVertamo::mSetupClick() {
  // The settings dialog comes with its own step.
}

void TFormVertamo::mCloseClick() { close(); }

void TFormVertamo::SetStatusText(int panel, const QString& text) {
  if (panel >= 0 && panel < 2) StatusPanels[panel]->setText(text);
}

QString TFormVertamo::StatusText(int panel) const {
  return panel >= 0 && panel < 2 ? StatusPanels[panel]->text() : QString();
}

}  // namespace vertamo::ui
