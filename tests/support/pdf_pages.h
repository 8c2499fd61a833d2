// PDF files the window tests print: how many pages they hold. Qt tests only.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>

namespace vertamo::testing {

// True when the program is on the PATH (poppler-utils: pdfinfo, pdftoppm, pdftotext).
inline bool HasTool(const char* name) {
  return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// Pages of a PDF file: pdfinfo's figure when it is installed, else the page
// objects in the file; -1 when neither can tell.
inline int PdfPages(const QString& pdf) {
  if (HasTool("pdfinfo")) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(30000)) return -1;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
      if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
  }
  QFile file(pdf);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QString text = QString::fromLatin1(file.readAll());
  return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

}  // namespace vertamo::testing
