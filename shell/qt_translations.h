// Qt's own Russian texts for the standard dialogs and buttons (file, font and
// print dialogs, Yes / No, OK / Cancel), from the translations that come with
// Qt (Debian package qt6-translations-l10n).
#pragma once

class QCoreApplication;

namespace vertamo::ui {

// Installs Qt's Russian translation in `app` (it owns the translator). False,
// and the standard texts stay English, when the translation is not there.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace vertamo::ui
