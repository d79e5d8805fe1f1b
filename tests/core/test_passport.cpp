#include "core/passport.h"

#include <QTest>

class TestPassport : public QObject {
    Q_OBJECT
private slots:
    void trimming_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("blanks") << "  a b  "
                                << "a b";
        QTest::newRow("controls") << QString::fromLatin1("\t\r\n\x01x\x1f ") << "x";
        QTest::newRow("only controls") << QString::fromLatin1(" \t\r\n") << "";
        QTest::newRow("no-break space stays") << QStringLiteral("\u00a0a\u00a0") << QStringLiteral("\u00a0a\u00a0");
        QTest::newRow("empty") << ""
                               << "";
    }
    void trimming()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(core::trimControls(text), trimmed);
        QCOMPARE(core::isBlank(text), trimmed.isEmpty());
    }

    void publishedDescription_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("published");
        const QString a499 = QString(499, QLatin1Char('a'));
        QTest::newRow("short stays") << "x\r\ny"
                                     << "x\r\ny";
        QTest::newRow("exactly 500") << QString(500, QLatin1Char('b')) << QString(500, QLatin1Char('b'));
        QTest::newRow("600 gives 500") << QString(600, QLatin1Char('c')) << QString(500, QLatin1Char('c'));
        QTest::newRow("CR LF at the cut") << a499 + "\r\nzz" << a499;
        QTest::newRow("LF after the cut") << a499 + "b\r\nz" << a499 + "b";
        QTest::newRow("lone CR at the cut stays") << a499 + "\rzz" << a499 + "\r";
        QTest::newRow("surrogate pair at the cut")
            << a499 + QStringLiteral("\U0001F600z") << a499 + QStringLiteral("\U0001F600");
        // A character outside the basic plane counts as one, wherever it stands.
        const QString smile = QStringLiteral("\U0001F600");
        QTest::newRow("starts with an emoji")
            << smile + QString(600, QLatin1Char('d')) << smile + QString(499, QLatin1Char('d'));
        QTest::newRow("500 emoji stay whole") << smile.repeated(500) << smile.repeated(500);
        QTest::newRow("501 emoji give 500") << smile.repeated(501) << smile.repeated(500);
        QTest::newRow("emoji then CR LF at the cut")
            << smile + QString(498, QLatin1Char('e')) + "\r\nz" << smile + QString(498, QLatin1Char('e'));
        QTest::newRow("lone surrogate counts as one") << QString(QChar(0xD800)) + QString(600, QLatin1Char('f'))
                                                      << QString(QChar(0xD800)) + QString(499, QLatin1Char('f'));
        QTest::newRow("leading blanks kept") << "  x  "
                                             << "  x  ";
    }
    void publishedDescription()
    {
        QFETCH(QString, text);
        QFETCH(QString, published);
        QCOMPARE(core::publishedDescription(text), published);
    }

    void characterCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("Cyrillic") << QStringLiteral("Весна") << 5;
        QTest::newRow("CR LF is two") << "a\r\nb" << 4;
        QTest::newRow("surrogate pair is one") << QStringLiteral("a\U0001F600b") << 3;
        QTest::newRow("lone surrogate is one") << QString(QChar(0xDC00)) << 1;
    }
    void characterCount()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(core::characterCount(text), qsizetype(count));
    }

    // A memo's raw text: paragraph separators (Enter), line separators
    // (Shift+Enter) and any LF or CR become CR LF; everything else, the
    // no-break space included, stays as typed.
    void memoLineBreaks_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("passport");
        QTest::newRow("LF") << "a\nb\n"
                            << "a\r\nb\r\n";
        QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b") << "a\r\nb";
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << "a\r\nb";
        QTest::newRow("CR LF stays one break") << "a\r\nb"
                                               << "a\r\nb";
        QTest::newRow("lone CR") << "a\rb"
                                 << "a\r\nb";
        QTest::newRow("empty lines") << QStringLiteral("\u2029\u2029") << "\r\n\r\n";
        QTest::newRow("no-break spaces kept")
            << QStringLiteral("\u00a0x\u00a0\u2029\u00a0") << QStringLiteral("\u00a0x\u00a0\r\n\u00a0");
    }
    void memoLineBreaks()
    {
        QFETCH(QString, raw);
        QFETCH(QString, passport);
        QCOMPARE(core::memoTextToPassport(raw), passport);
    }

    void passportTextToMemoGivesLf()
    {
        QCOMPARE(core::passportTextToMemo(QStringLiteral("a\r\nb")), QStringLiteral("a\nb"));
    }
};

QTEST_MAIN(TestPassport)
#include "test_passport.moc"
