// Qt's own buttons and choosers speak the user's language.
#include <QLocale>

#include "shell/QtTranslation.h"
#include "support/TestMain.h"

class TranslationTest : public QObject {
    Q_OBJECT

private slots:
    void japaneseButtons()
    {
        if (!InstallQtTranslation(QLocale(QLocale::Japanese, QLocale::Japan))) {
            if (!qEnvironmentVariableIsEmpty("CI"))
                QFAIL("Qt's Japanese translation is not installed (qt6-translations-l10n)");
            QSKIP("Qt's Japanese translation is not installed");
        }
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("キャンセル"));
        QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") != QString("Look in:"));
    }
};

TEMBREL_TEST_MAIN(TranslationTest)
#include "tst_translation.moc"
