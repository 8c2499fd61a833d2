// The workstation on a scaled desktop: Qt's scaling at 2 on a 3840 x 2160
// screen (1920 x 1080 for the windows). Saved places of a desktop at 100 %
// still land on the screen, drawn artwork has the screen's pixels, and map
// pictures are smoothed at a fractional scale rather than made blocky.
#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QTest>

#include "journal/ui/log_last.h"
#include "map/ui/map_view.h"
#include "shell/form_vertamo.h"
#include "support/temp_folder.h"
#include "ui/workstation_fixture.h"
#include "voice/ui/voice_artwork.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::TempFolder;
using vertamo::testing::WriteWholeFile;

class HighDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void theScreenIsScaled() {
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
  }

  void placesSavedAt100PercentLandOnTheScreen() {
    TempFolder dir;
    WriteWholeFile(dir.file("Vertamo.ini"),
                   "[FormVertamo]\r\nLeft=0\r\nTop=0\r\nWidth=3840\r\nHeight=1960\r\n"
                   "[LogLast]\r\nLeft=0\r\nTop=1960\r\nWidth=3840\r\nHeight=200\r\n");
    test::OfflineWindow window(dir.path());
    TFormVertamo& form = *window.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTRY_VERIFY(form.LogLast()->isVisible());
    QVERIFY2(screen.contains(form.frameGeometry()), "the main window");
    QVERIFY2(screen.contains(form.LogLast()->frameGeometry()), "the journal");
    form.close();
  }

  void drawnArtworkHasTheScreensPixels() {
    const QImage microphone = MicrophonePicture();
    QCOMPARE(microphone.devicePixelRatio(), 2.0);
    QCOMPARE(microphone.size(), QSize(2 * kVoicePictureSize, 2 * kVoicePictureSize));
  }

  void mapPicturesAreSmoothAtAFractionalScale() {
    // A checkerboard of single pixels: drawn blocky it keeps its two colours,
    // smoothed it gains the shades between them.
    TBitmap bitmap;
    bitmap.Pixels.width = bitmap.Pixels.height = 16;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) bitmap.Pixels.argb.push_back((x + y) % 2 ? 0xFF000000u : 0xFFFFFFFFu);
    TMapView picture(&bitmap, {});
    picture.resize(16, 16);
    QImage shown(24, 24, QImage::Format_RGB32);
    shown.setDevicePixelRatio(1.5);
    shown.fill(Qt::red);
    static_cast<QWidget&>(picture).render(&shown);
    QSet<QRgb> colours;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) colours.insert(shown.pixel(x, y));
    QVERIFY2(colours.size() > 2, qPrintable(QString::number(colours.size())));
  }
};

// The scaled screen, before the application starts.
int main(int argc, char** argv) {
  TempFolder config;
  WriteWholeFile(config.file("screens.json"),
                 R"({"screens": [{"name": "uhd", "x": 0, "y": 0, "width": 3840, "height": 2160,
                                  "logicalDpi": 96, "dpr": 1}]})");
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.file("screens.json").c_str());
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  HighDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "high_dpi_test.moc"
