// The catalogue's names as text: tools export them (DBC files) and look them up (command lines),
// so they must be unique identifiers that stay in step with the enumerators.

#include "signals/abstractsignalvalue.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalnames.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestSignalNames : public QObject
{
    Q_OBJECT

private slots:
    void everySignalHasAUniqueIdentifier();
    void namesFollowTheEnumerators_data();
    void namesFollowTheEnumerators();
    void lookupIgnoresCase();
    void everyFrameKindIsNamed();
};

void TestSignalNames::everySignalHasAUniqueIdentifier()
{
    const QStringList &names = SignalNames::names();
    QCOMPARE(names.size(), int(Signal::Count));
    const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QSet<QString> seen;
    for (const QString &name : names) {
        QVERIFY2(identifier.match(name).hasMatch(), qPrintable(name));
        QVERIFY2(!seen.contains(name.toLower()), qPrintable(name));
        seen.insert(name.toLower());
    }
    QVERIFY(SignalNames::name(Signal::Count).isEmpty());
    QVERIFY(SignalNames::name(-1).isEmpty());
}

void TestSignalNames::namesFollowTheEnumerators_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << int(Signal::SumVolt) << "SumVolt";
    QTest::newRow("alarm level") << int(Signal::ChargeHiTemp) << "ChargeHiTemp";
    QTest::newRow("life counter") << int(Signal::LifeCounter) << "LifeCounter";
    QTest::newRow("last fixed") << int(Signal::Volt32) << "Volt32";
    QTest::newRow("first flag of 0x50080") << int(Signal::Flags5Bit0) << "Flags5Bit0";
    QTest::newRow("flag by rule") << int(Signal::Flags5Bit0) + 7 << "Flags5Bit7";
    QTest::newRow("last flag of 0x50080") << int(Signal::Flags5Bit31) << "Flags5Bit31";
    QTest::newRow("last signal") << int(Signal::Flags6Bit31) << "Flags6Bit31";
}

void TestSignalNames::namesFollowTheEnumerators()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(SignalNames::name(index), name);
    QCOMPARE(SignalNames::indexOf(name), index);
}

void TestSignalNames::lookupIgnoresCase()
{
    QCOMPARE(SignalNames::indexOf(QStringLiteral(" sumvolt ")), int(Signal::SumVolt));
    QCOMPARE(SignalNames::indexOf(QStringLiteral("SOC")), int(Signal::SOC));
    QCOMPARE(SignalNames::indexOf(QStringLiteral("NoSuchSignal")), -1);
}

void TestSignalNames::everyFrameKindIsNamed()
{
    struct Catalogue : AbstractSignalValue
    {
        QVariant value(int, int) const override { return {}; }
        void OnNewCanFrame(ulong, const QByteArray &, ulong) override { }
    } catalogue;
    QSet<QString> seen;
    for (quint32 key : catalogue.frameKeys()) {
        const QString name = SignalNames::frameName(key);
        QVERIFY2(!name.isEmpty() && !seen.contains(name), qPrintable(QString::number(key, 16)));
        seen.insert(name);
    }
    QCOMPARE(SignalNames::frameName(FrameKey::CellVolts5to8), QStringLiteral("CellVolts5to8"));
    QVERIFY(SignalNames::frameName(0x12345).isEmpty());
}

QTEST_GUILESS_MAIN(TestSignalNames)
#include "tst_signalnames.moc"
