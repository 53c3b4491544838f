// The settings store: value forms, defaults, bad values, write-through; the global options.
#include <QCoreApplication>
#include <QFile>

#include "services/Session.h"
#include "services/Settings.h"
#include "support/Store.h"
#include "support/TestMain.h"

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ClearStore(); }

    void storeLivesInTheXdgConfigHome()
    {
        SaveSetting("tembrel", "setting", "meltpath", "/data/表示");
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/tembrel/tembrel.ini"));
        // Written through at once: a reader of the file sees it without any flush.
        QCOMPARE(StoredText("meltpath"), QString("/data/表示"));
    }

    void missingKeysGiveTheCallersDefault()
    {
        QCOMPARE(GetSetting("tembrel", "setting", "moption4", "1"), QString("1"));
        QCOMPARE(GetNumberSetting("moption4", 1), qint16(1));
        QCOMPARE(GetNumberSetting("moption1", 0), qint16(0));
        QCOMPARE(GetTruthSetting("flg_First", false), false);
        QCOMPARE(GetPathSetting("fdir1"), QString());
        QCOMPARE(GetPositionSetting("iconleft", 0), qint16(0));
        // Reading never creates a key.
        QVERIFY(StoredText("moption4").isNull());
    }

    void valuesAreWrittenInTheirForms()
    {
        SaveNumberSetting("moption1", 1);
        SaveTruthSetting("flg_First", true);
        SavePositionSetting("iconleft", 1200);
        SavePositionSetting("icontop", -15);
        SavePathSetting("mopt5dir", "/a/b/");
        QCOMPARE(StoredText("moption1"), QString("1"));
        QCOMPARE(StoredText("flg_First"), QString("True"));
        QCOMPARE(StoredText("iconleft"), QString("1200"));
        QCOMPARE(StoredText("icontop"), QString("-15"));
        QCOMPARE(StoredText("mopt5dir"), QString("/a/b/"));
        QCOMPARE(GetPositionSetting("iconleft", 0), qint16(1200));
        QCOMPARE(GetTruthSetting("flg_First", false), true);
    }

    void positionTextIsTheShortestSingleForm_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1200.0 << "1200";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -4500.0 << "-4500";
        QTest::newRow("fraction") << 7.5 << "7.5";
        QTest::newRow("single rounding") << 0.1 << "0.1";
    }
    void positionTextIsTheShortestSingleForm()
    {
        QFETCH(double, twips);
        QFETCH(QString, text);
        QCOMPARE(PositionText(twips), text);
    }

    void badValuesReadAsTheDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("number not a number") << "moption4"
                                             << "yes" << 1;
        QTest::newRow("number out of 16 bits") << "moption5"
                                               << "70000" << 0;
        QTest::newRow("number with a fraction") << "Option1"
                                                << "1.5" << 0;
        QTest::newRow("number with blanks") << "Option2"
                                            << " 1 " << 1;
        QTest::newRow("position not a number") << "iconleft"
                                               << "left" << 0;
        QTest::newRow("position out of 16 bits") << "icontop"
                                                 << "40000" << 0;
        QTest::newRow("position with a fraction") << "iconleft"
                                                  << "1200.4" << 1200;
    }
    void badValuesReadAsTheDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, expected);
        WriteRaw(key, stored);
        const bool position = key.startsWith("icon");
        const qint16 fallback = key == "moption4" ? 1 : 0;
        QCOMPARE(int(position ? GetPositionSetting(key, 0) : GetNumberSetting(key, fallback)), expected);
    }

    void truthValuesAcceptTheirTextsOnly()
    {
        WriteRaw("flg_First", "true");
        QCOMPARE(GetTruthSetting("flg_First", false), true);
        WriteRaw("flg_First", "-1");
        QCOMPARE(GetTruthSetting("flg_First", false), true);
        WriteRaw("flg_First", "maybe");
        QCOMPARE(GetTruthSetting("flg_First", false), false);
    }

    void aValueWithACommaComesBackWhole()
    {
        SavePathSetting("freezepath", "/tmp/a,b");
        QCOMPARE(GetPathSetting("freezepath"), QString("/tmp/a,b"));
    }

    void globalOptionsOfAFreshUser()
    {
        const GlobalOptions options = LoadGlobalOptions();
        QCOMPARE(options.DefaultBrowseDir, QCoreApplication::applicationDirPath());
        QCOMPARE(options.SoundFile, QString());
        QCOMPARE(options.AlwaysOnTop, qint16(0));
        QCOMPARE(options.NotifyMode, qint16(0));
        QCOMPARE(options.DefaultArchiveType, qint16(0));
    }

    void globalOptionsFromTheStore()
    {
        SavePathSetting("Defdir", "/srv/files");
        SavePathSetting("Snddir", "/srv/done.wav");
        SaveNumberSetting("Check1", 1);
        SaveNumberSetting("Option1", 1);
        WriteRaw("Option2", "zip");
        const GlobalOptions options = LoadGlobalOptions();
        QCOMPARE(options.DefaultBrowseDir, QString("/srv/files"));
        QCOMPARE(options.SoundFile, QString("/srv/done.wav"));
        QCOMPARE(options.AlwaysOnTop, qint16(1));
        QCOMPARE(options.NotifyMode, qint16(1));
        QCOMPARE(options.DefaultArchiveType, qint16(0));
    }
};

TEMBREL_TEST_MAIN(SettingsTest)
#include "tst_settings.moc"
