// Qt's own texts (dialog buttons, file chooser) in the user's language.
#pragma once

class QLocale;

// Loads and installs Qt's base translation for `locale`; false when none is installed for it.
bool InstallQtTranslation(const QLocale& locale);
