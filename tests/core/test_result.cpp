// The result type: a value or the failure that stopped the step, read the
// way std::expected is read; a failure asked for its value is thrown, and a
// failure nobody shows leaves a line in the log.

#include "core/result.h"

#include <QLoggingCategory>
#include <QTest>

#include <stdexcept>

namespace {

Q_LOGGING_CATEGORY(lcTest, "tirlada.test")

Result<int> half(int number)
{
    if (number % 2 != 0)
        return Unexpected(Failure(FailureCode::Unspecified, {.number = number}));
    return number / 2;
}

Result<void> even(int number)
{
    if (number % 2 != 0)
        return Unexpected(Failure(FailureCode::Unspecified, {.number = number}));
    return {};
}

} // namespace

class TestResult : public QObject {
    Q_OBJECT

private slots:
    void valueOrFailure()
    {
        const auto good = half(8);
        QVERIFY(good.has_value());
        QVERIFY(static_cast<bool>(good));
        QCOMPARE(*good, 4);
        QCOMPARE(good.value(), 4);
        QCOMPARE(good.value_or(-1), 4);

        const auto bad = half(7);
        QVERIFY(!bad);
        QCOMPARE(bad.error().code(), FailureCode::Unspecified);
        QCOMPARE(bad.error().details().number, 7);
        QCOMPARE(bad.value_or(-1), -1);
    }

    void valueOfAFailureThrowsIt()
    {
        const auto bad = half(3);
        try {
            (void)bad.value();
            QFAIL("no failure thrown");
        } catch (const Failure &failure) {
            QCOMPARE(failure.details().number, 3);
        }
        QVERIFY(even(2));
        QVERIFY_THROWS_EXCEPTION(Failure, even(5).value());
    }

    void moveOnlyValues()
    {
        Result<std::unique_ptr<int>> owned = std::make_unique<int>(5);
        QVERIFY(owned);
        std::unique_ptr<int> taken = *std::move(owned);
        QCOMPARE(*taken, 5);
    }

    void droppedFailuresAreLogged()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("tirlada.test.warning=true"));
        QTest::ignoreMessage(QtWarningMsg, "removing a draft: Unspecified number=9");
        logFailure(lcTest(), "removing a draft", Failure(FailureCode::Unspecified, {.number = 9}));
        QTest::ignoreMessage(QtWarningMsg, "closing: out of memory");
        try {
            throw std::bad_alloc();
        } catch (...) {
            logUnexpectedException(lcTest(), "closing");
        }
        QTest::ignoreMessage(QtWarningMsg, "closing: odd");
        try {
            throw std::runtime_error("odd");
        } catch (...) {
            logUnexpectedException(lcTest(), "closing");
        }
    }
};

QTEST_GUILESS_MAIN(TestResult)
#include "test_result.moc"
