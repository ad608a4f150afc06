#include "support/capturedestination.h"

#include "log/logger.h"
#include "resource/resources.h"
#include "settings/thresholdsetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using namespace QsLogging;

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(UPPER_SOURCE_DIR "/tests/settings/data/") + QLatin1String(name);
}

QString shippedConfig()
{
    return QStringLiteral(UPPER_SOURCE_DIR "/dist/setting/threshold.cfg");
}

} // namespace

class TestThresholdSetting : public QObject
{
    Q_OBJECT

signals:
    void itemQueued(ThresholdSettingItem item);

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void constructionLoadsTheFileBesideTheExecutable();
    void exampleLineGivesEveryField();
    void emptyFourthLineEndsTheFile();
    void tenFieldLineIsAFormatErrorThatKeepsEarlierItems();
    void missingFileIsLoggedAndLeavesTheListEmpty();
    void reloadingEmptiesTheListFirst();
    void emptyFileLoadsNothing();
    void blanksAroundFieldsAndSigns();
    void paramIdAboveOneByteNeverMatches();
    void duplicateParamIdFindsTheEarlierItem();
    void lookupIgnoresItemsBeyondTheParameterCount();
    void lookupInAShortList();
    void itemTravelsThroughQueuedSignals();
    void shippedConfigHasTheFullParameterSet();
    void shippedConfigFitsTheNameTable();
    void nameTableIsGb2312WithCrLf();

private:
    QSharedPointer<CaptureDestination> m_capture;
};

void TestThresholdSetting::initTestCase()
{
    // The program reads its parameter file from beside the executable.
    const QString settingDir = QCoreApplication::applicationDirPath() + QStringLiteral("/setting");
    QVERIFY(QDir().mkpath(settingDir));
    QFile::remove(settingDir + QStringLiteral("/threshold.cfg"));
    QVERIFY(QFile::copy(shippedConfig(), settingDir + QStringLiteral("/threshold.cfg")));
    Resources::init();
}

void TestThresholdSetting::init()
{
    m_capture.reset(new CaptureDestination);
    Logger::instance().addDestination(m_capture);
    Logger::instance().setLoggingLevel(TraceLevel);
}

void TestThresholdSetting::cleanup()
{
    Logger::instance().removeDestination(m_capture);
    m_capture.reset();
}

void TestThresholdSetting::constructionLoadsTheFileBesideTheExecutable()
{
    QCOMPARE(ThresholdSetting::filePath(),
        QCoreApplication::applicationDirPath() + QStringLiteral("/setting/threshold.cfg"));
    ThresholdSetting setting;
    QCOMPARE(setting.items().size(), ThresholdSetting::ParameterCount);
    QVERIFY(m_capture->lines().isEmpty());
}

void TestThresholdSetting::exampleLineGivesEveryField()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("fourth_line_empty.cfg")), int(ThresholdSetting::LoadOk));
    const ThresholdSettingItem item = setting.items().at(0);
    QCOMPARE(item.number, 1u);
    QCOMPARE(item.groupIndex, 0u);
    QCOMPARE(item.groupNameId, 1u);
    QCOMPARE(item.rowIndex, 0u);
    QCOMPARE(item.nameId, 14u);
    QCOMPARE(item.unit, QStringLiteral("mV"));
    QCOMPARE(item.defaultValue, 3650);
    QCOMPARE(item.paramId, 1u);
    QCOMPARE(item.offset, 0u);
}

void TestThresholdSetting::emptyFourthLineEndsTheFile()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("fourth_line_empty.cfg")), 0);
    QCOMPARE(setting.items().size(), 3);
    QCOMPARE(setting.items().at(2).number, 3u);
    // The line after the empty one carries paramId 4 and must not have been read.
    QCOMPARE(setting.indexOfParam(4), -1);
}

void TestThresholdSetting::tenFieldLineIsAFormatErrorThatKeepsEarlierItems()
{
    ThresholdSetting setting;
    m_capture->clear();
    QCOMPARE(setting.loadSetting(fixture("ten_fields.cfg")), -2);
    QCOMPARE(setting.items().size(), 2);
    QCOMPARE(setting.items().at(1).paramId, 2u);
    QCOMPARE(setting.indexOfParam(4), -1);
    QCOMPARE(m_capture->lines(),
        QStringList() << QStringLiteral("ERROR|ThresholdSetting::loadSetting: load setting "
                                        "file error: \"3,0,1,2,16,s,2,3,0,\" "));
}

void TestThresholdSetting::missingFileIsLoggedAndLeavesTheListEmpty()
{
    ThresholdSetting setting;
    QVERIFY(!setting.items().isEmpty());
    m_capture->clear();
    const QString path = fixture("no_such_file.cfg");
    QCOMPARE(setting.loadSetting(path), -1);
    QVERIFY(setting.items().isEmpty());
    QCOMPARE(setting.indexOfParam(1), -1);
    QCOMPARE(m_capture->lines(),
        QStringList() << QStringLiteral(
            "ERROR|ThresholdSetting::loadSetting: failed to open config file: \"%1\" ")
                             .arg(path));
}

void TestThresholdSetting::reloadingEmptiesTheListFirst()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("fourth_line_empty.cfg")), 0);
    QCOMPARE(setting.loadSetting(fixture("duplicate_param_id.cfg")), 0);
    QCOMPARE(setting.items().size(), 3);
    QCOMPARE(setting.indexOfParam(1), -1);
}

void TestThresholdSetting::emptyFileLoadsNothing()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("empty_file.cfg")), 0);
    QVERIFY(setting.items().isEmpty());
}

void TestThresholdSetting::blanksAroundFieldsAndSigns()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("blanks_and_signs.cfg")), 0);
    QCOMPARE(setting.items().size(), 2);

    const ThresholdSettingItem first = setting.items().at(0);
    QCOMPARE(first.number, 1u);
    QCOMPARE(first.unit, QStringLiteral("degC"));
    QCOMPARE(first.defaultValue, -5);
    QCOMPARE(first.paramId, 0u); // an unsigned field written as -5 is not a number
    QCOMPARE(first.offset, 40u);

    const ThresholdSettingItem second = setting.items().at(1);
    QCOMPARE(second.unit, QString());
    QCOMPARE(second.defaultValue, 0); // "abc"
    QCOMPARE(second.paramId, 300u);
    QCOMPARE(second.offset, 4294967295u);
    QVERIFY(m_capture->lines().isEmpty());
}

void TestThresholdSetting::paramIdAboveOneByteNeverMatches()
{
    // A paramId above one byte never matches, not even through its low byte (300 & 0xFF = 44).
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("blanks_and_signs.cfg")), 0);
    QCOMPARE(setting.indexOfParam(44), -1);
    QCOMPARE(setting.indexOfParam(0), 0);
}

void TestThresholdSetting::duplicateParamIdFindsTheEarlierItem()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("duplicate_param_id.cfg")), 0);
    QCOMPARE(setting.indexOfParam(9), 0);
    QCOMPARE(setting.items().at(setting.indexOfParam(9)).offset, 0u);
    QCOMPARE(setting.indexOfParam(10), 2);
    QCOMPARE(setting.indexOfParam(11), -1);
}

void TestThresholdSetting::lookupIgnoresItemsBeyondTheParameterCount()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("long.cfg")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    // 83 lines; the last two carry ids that no earlier line carries.
    for (int i = 0; i < 83; ++i)
        file.write(QStringLiteral("%1,0,1,0,14,mV,0,%2,0\n").arg(i + 1).arg(i + 100).toUtf8());
    file.close();

    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(file.fileName()), 0);
    QCOMPARE(setting.items().size(), 83); // loaded, ...
    QCOMPARE(setting.indexOfParam(100 + 80), 80);
    QCOMPARE(setting.indexOfParam(100 + 81), -1); // ... but never consulted
    QCOMPARE(setting.indexOfParam(100 + 82), -1);
}

void TestThresholdSetting::lookupInAShortList()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(fixture("fourth_line_empty.cfg")), 0);
    for (int id = 0; id < 256; ++id)
        QCOMPARE(setting.indexOfParam(uchar(id)), (id >= 1 && id <= 3) ? id - 1 : -1);
}

void TestThresholdSetting::itemTravelsThroughQueuedSignals()
{
    ThresholdSetting setting; // registers the type by name
    QVERIFY(QMetaType::type("ThresholdSettingItem") != QMetaType::UnknownType);

    QList<ThresholdSettingItem> received;
    connect(
        this, &TestThresholdSetting::itemQueued, this,
        [&received](ThresholdSettingItem item) { received.append(item); }, Qt::QueuedConnection);
    emit itemQueued(setting.items().at(40));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.at(0).paramId, setting.items().at(40).paramId);
    QCOMPARE(received.at(0).unit, setting.items().at(40).unit);
}

void TestThresholdSetting::shippedConfigHasTheFullParameterSet()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(shippedConfig()), 0);
    QCOMPARE(setting.items().size(), ThresholdSetting::ParameterCount);

    QSet<quint32> paramIds;
    for (int i = 0; i < setting.items().size(); ++i) {
        const ThresholdSettingItem &item = setting.items().at(i);
        QVERIFY2(item.paramId >= 1 && item.paramId <= 255, qPrintable(QString::number(i)));
        QVERIFY2(!paramIds.contains(item.paramId), qPrintable(QString::number(item.paramId)));
        paramIds.insert(item.paramId);
        QCOMPARE(setting.indexOfParam(uchar(item.paramId)), i);
        QCOMPARE(item.number, quint32(i + 1));
        // Every default must survive the trip to the wire and back.
        const quint32 wire = quint32(item.defaultValue) + item.offset;
        QCOMPARE(qint32(wire - item.offset), item.defaultValue);
        // Values the BMS keeps in unsigned registers must not go below zero on the wire.
        QVERIFY2(
            qint64(item.defaultValue) + qint64(item.offset) >= 0, qPrintable(QString::number(i)));
    }
}

void TestThresholdSetting::shippedConfigFitsTheNameTable()
{
    ThresholdSetting setting;
    QCOMPARE(setting.loadSetting(shippedConfig()), 0);
    // Twelve protection groups of six rows named 14..19, then nine settings named 20..28.
    for (int i = 0; i < setting.items().size(); ++i) {
        const ThresholdSettingItem &item = setting.items().at(i);
        if (i < 72) {
            QCOMPARE(item.groupIndex, quint32(i / 6));
            QCOMPARE(item.groupNameId, quint32(i / 6 + 1));
            QCOMPARE(item.rowIndex, quint32(i % 6));
            QCOMPARE(item.nameId, quint32(14 + i % 6));
        } else {
            QCOMPARE(item.groupIndex, 12u);
            QCOMPARE(item.groupNameId, 13u);
            QCOMPARE(item.rowIndex, quint32(i - 72));
            QCOMPARE(item.nameId, quint32(20 + i - 72));
        }
    }
    // Temperatures go below zero, so their thresholds travel with an offset.
    const int dischargeLowAlarm = 9 * 6;
    QCOMPARE(setting.items().at(dischargeLowAlarm).defaultValue, -10);
    QCOMPARE(setting.items().at(dischargeLowAlarm).offset, 40u);
}

void TestThresholdSetting::nameTableIsGb2312WithCrLf()
{
    QFile file(QStringLiteral(":/resource/language/language.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QTextCodec *codec = QTextCodec::codecForName("GB2312");
    QVERIFY(codec);
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);
    QCOMPARE(codec->fromUnicode(text), bytes);
    // UTF-8 would have been read without complaint too; make sure it is not UTF-8.
    QVERIFY(QString::fromUtf8(bytes) != text);

    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), 29);
    QCOMPARE(lines.at(0), QStringLiteral("Id,Chinese,English"));

    const QStringList expected {
        QStringLiteral("1,单体过充,Cell Over Charge"),
        QStringLiteral("2,系统过充,System Over Charge"),
        QStringLiteral("3,单体过放,Cell Over Discharge"),
        QStringLiteral("4,系统过放,System Over Diacharge"),
        QStringLiteral("5,充电过流,Charge Over Current"),
        QStringLiteral("6,放电过流,Discharge Over Current"),
        QStringLiteral("7,充电高温,Temperature Charge Hight"),
        QStringLiteral("8,充电低温,Temperature Charge Low"),
        QStringLiteral("9,放电高温,Temperature Discharge Hight"),
        QStringLiteral("10,放电低温,Temperature Discharge Low"),
        QStringLiteral("11,压差,Cell Differential"),
        QStringLiteral("12,温差,Temperature Differential"),
        QStringLiteral("13,其它设置,Other Settings"),
        QStringLiteral("14,告警产生值,ALARM"),
        QStringLiteral("15,告警恢复值,ALM Recover"),
        QStringLiteral("16,告警恢复延时,ALM Delay"),
        QStringLiteral("17,保护产生值,PROTECTION"),
        QStringLiteral("18,保护恢复值,PROT Recover"),
        QStringLiteral("19,保护恢复延时,PROT Delay"),
        QStringLiteral("20,循环次数,Cycles Count"),
        QStringLiteral("21,当前SOC,SOC Setting"),
        QStringLiteral("22,休眠次数,Rest Account"),
        QStringLiteral("23,短路次数,Short Circuit Count"),
        QStringLiteral("24,放电保护次数,Over-DISC PROT"),
        QStringLiteral("25,充电保护次数,Over-CHG PROT"),
        QStringLiteral("26,过流保护次数,Over Current PROT"),
        QStringLiteral("27,温度保护次数,Temperature PROT"),
        QStringLiteral("28,当前SOH,SOH Setting"),
    };
    QCOMPARE(lines.mid(1), expected);
}

QTEST_GUILESS_MAIN(TestThresholdSetting)
#include "tst_thresholdsetting.moc"
