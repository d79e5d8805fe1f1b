#include "participants/participant_id.h"

#include <QTest>

class TestParticipantId : public QObject {
    Q_OBJECT
private slots:
    void md5Hex_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hex");
        // RFC 1321 test suite.
        QTest::newRow("empty") << QByteArray() << "d41d8cd98f00b204e9800998ecf8427e";
        QTest::newRow("abc") << QByteArray("abc") << "900150983cd24fb0d6963f7d28e17f72";
        QTest::newRow("digits") << QByteArray(
            "12345678901234567890123456789012345678901234567890123456789012345678901234567890")
                                << "57edf4a22be3c955ac49da2e2107b67a";
        // A digest beginning with a zero byte keeps its leading zeros.
        QTest::newRow("zero first byte") << QByteArray("1000247") << "00";
    }
    void md5Hex()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        const QString digest = participants::md5Hex(bytes);
        QCOMPARE(digest.size(), 32);
        QVERIFY2(digest.startsWith(hex), qPrintable(digest));
        QCOMPARE(digest, digest.toLower());
    }

    // Seven-digit inputs found beforehand whose MD5 begins with the byte
    // named in the row; the check text depends on that byte alone.
    void checkDigits_data()
    {
        QTest::addColumn<QString>("seven");
        QTest::addColumn<int>("firstByte");
        QTest::addColumn<QString>("check");
        QTest::newRow("0") << "1000247" << 0 << "00";
        QTest::newRow("1") << "1000040" << 1 << "00";
        QTest::newRow("2") << "1000135" << 2 << "01";
        QTest::newRow("3") << "1000789" << 3 << "01";
        QTest::newRow("127") << "1000110" << 127 << "49";
        QTest::newRow("128") << "1000176" << 128 << "50";
        QTest::newRow("129") << "1000000" << 129 << "50";
        QTest::newRow("144") << "1000098" << 144 << "56";
        QTest::newRow("252") << "1000170" << 252 << "98";
        QTest::newRow("252, example") << "1234567" << 252 << "98";
        QTest::newRow("253") << "1000032" << 253 << "98";
        QTest::newRow("254") << "1000171" << 254 << "99";
        QTest::newRow("255") << "1000187" << 255 << "99";
    }
    void checkDigits()
    {
        QFETCH(QString, seven);
        QFETCH(int, firstByte);
        QFETCH(QString, check);
        QCOMPARE(participants::md5Hex(seven.toLatin1()).left(2).toInt(nullptr, 16), firstByte);
        QCOMPARE(participants::participantIdCheckDigits(seven), check);
    }

    // Characters beyond ASCII are hashed as their Windows-1251 bytes.
    void checkDigitsUseWindows1251()
    {
        const QByteArray cp1251("\xc6\xe0\xe1\xe0", 4); // "Жаба"
        const int n = participants::md5Hex(cp1251).left(2).toInt(nullptr, 16);
        QCOMPARE(participants::participantIdCheckDigits(QStringLiteral("Жаба")),
                 QStringLiteral("%1").arg((n * 99 + 127) / 255, 2, 10, QLatin1Char('0')));
    }

    void strip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("dashes") << "123-456-798"
                                << "123456798";
        QTest::newRow("blanks inside") << "1 2 3 456 798"
                                       << "123456798";
        QTest::newRow("controls around") << QStringLiteral("\t\r 123-456 798\n") << "123456798";
        QTest::newRow("dashes around") << "--123456798--"
                                       << "123456798";
        QTest::newRow("tab inside stays") << QStringLiteral("123\t456") << QStringLiteral("123\t456");
        QTest::newRow("dashes and blanks only") << " - - - "
                                                << "";
    }
    void strip()
    {
        QFETCH(QString, text);
        QFETCH(QString, stripped);
        QCOMPARE(participants::stripParticipantId(text), stripped);
    }

    void checkAndFormat_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("formatted"); // empty: refused
        QTest::newRow("plain") << "123456798"
                               << "123-456-798";
        QTest::newRow("dashes") << "123-456-798"
                                << "123-456-798";
        QTest::newRow("blanks") << "123 456 798"
                                << "123-456-798";
        QTest::newRow("dashes anywhere") << "1-23456-79-8"
                                         << "123-456-798";
        QTest::newRow("blanks and dashes anywhere") << " 12 3-4567 98-"
                                                    << "123-456-798";
        QTest::newRow("controls around") << QStringLiteral("\t123456798\r\n") << "123-456-798";
        QTest::newRow("first byte 0") << "100024700"
                                      << "100-024-700";
        QTest::newRow("first byte 255") << "100018799"
                                        << "100-018-799";
        QTest::newRow("eighth digit changed") << "123456788"
                                              << "";
        QTest::newRow("ninth digit changed") << "123456799"
                                             << "";
        QTest::newRow("check digits swapped") << "123456789"
                                              << "";
        QTest::newRow("first digit changed") << "223456798"
                                             << "";
        QTest::newRow("too short") << "1234567"
                                   << "";
        QTest::newRow("eight characters") << "12345679"
                                          << "";
        QTest::newRow("empty") << ""
                               << "";
        // Characters after the ninth take no part in the test and stay.
        QTest::newRow("tail kept") << "1234567981"
                                   << "123-456-7981";
    }
    void checkAndFormat()
    {
        QFETCH(QString, entered);
        QFETCH(QString, formatted);
        const std::optional<QString> result = participants::formatCheckedParticipantId(entered);
        QCOMPARE(result.has_value(), !formatted.isEmpty());
        if (result)
            QCOMPARE(*result, formatted);
    }

    // The button rule taken alone; the dialog's table types and pastes.
    void wellFormed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("lowest") << "100000001" << true;
        QTest::newRow("highest") << "999999998" << true;
        QTest::newRow("below") << "100000000" << false;
        QTest::newRow("above") << "999999999" << false;
        QTest::newRow("leading zero") << "012345678" << false;
        QTest::newRow("exponent") << "12e000007" << false;
        QTest::newRow("exponent capital") << "1E0000008" << false;
        QTest::newRow("sign") << "+12345678" << false;
        QTest::newRow("point") << "1234.5678" << false;
        QTest::newRow("comma") << "1234,5678" << false;
        QTest::newRow("arabic-indic digits") << QStringLiteral("١٢٣٤٥٦٧٨٩") << false;
        QTest::newRow("fullwidth digits") << QStringLiteral("１２３４５６７８９") << false;
        QTest::newRow("empty") << "" << false;
    }
    void wellFormed()
    {
        QFETCH(QString, text);
        QFETCH(bool, wellFormed);
        QCOMPARE(participants::isWellFormedParticipantId(text), wellFormed);
    }
};

QTEST_GUILESS_MAIN(TestParticipantId)
#include "test_participant_id.moc"
