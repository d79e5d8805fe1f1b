#include "core/passport.h"

#include <QTest>

class TestPassport : public QObject {
    Q_OBJECT
private slots:
    void trimming_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("blanks") << "  a b  " << "a b";
        QTest::newRow("controls") << QString::fromLatin1("\t\r\n\x01x\x1f ") << "x";
        QTest::newRow("only controls") << QString::fromLatin1(" \t\r\n") << "";
        QTest::newRow("no-break space stays") << QStringLiteral("\u00a0a\u00a0") << QStringLiteral("\u00a0a\u00a0");
        QTest::newRow("empty") << "" << "";
    }
    void trimming()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(trimControls(text), trimmed);
        QCOMPARE(isBlank(text), trimmed.isEmpty());
    }

    void publishedDescription_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("published");
        const QString a499 = QString(499, QLatin1Char('a'));
        QTest::newRow("short stays") << "x\r\ny" << "x\r\ny";
        QTest::newRow("exactly 500") << QString(500, QLatin1Char('b')) << QString(500, QLatin1Char('b'));
        QTest::newRow("600 gives 500") << QString(600, QLatin1Char('c')) << QString(500, QLatin1Char('c'));
        QTest::newRow("CR LF at the cut") << a499 + "\r\nzz" << a499;
        QTest::newRow("LF after the cut") << a499 + "b\r\nz" << a499 + "b";
        QTest::newRow("lone CR at the cut stays") << a499 + "\rzz" << a499 + "\r";
        QTest::newRow("surrogate pair at the cut") << a499 + QStringLiteral("\U0001F600z") << a499;
        QTest::newRow("leading blanks kept") << "  x  " << "  x  ";
    }
    void publishedDescription()
    {
        QFETCH(QString, text);
        QFETCH(QString, published);
        QCOMPARE(::publishedDescription(text), published);
    }

    void memoLineBreaks()
    {
        QCOMPARE(memoTextToPassport(QStringLiteral("a\nb\n")), QStringLiteral("a\r\nb\r\n"));
        QCOMPARE(passportTextToMemo(QStringLiteral("a\r\nb")), QStringLiteral("a\nb"));
    }
};

QTEST_MAIN(TestPassport)
#include "test_passport.moc"
