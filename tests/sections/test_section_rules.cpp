// The sections choice as plain values: the selection rule, the slots and the
// summary lines.

#include "sections/section_rules.h"

#include <QTest>

Q_DECLARE_METATYPE(QList<int>)

namespace {

sections::SubjectFlags flagsOf(const QList<int> &numbers)
{
    sections::SubjectFlags flags{};
    for (int number : numbers)
        flags[number - 1] = true;
    return flags;
}

QList<int> numbersOf(const sections::SubjectFlags &flags, bool value)
{
    QList<int> numbers;
    for (int i = 0; i < kSubjectCount; ++i)
        if (flags[i] == value)
            numbers.append(i + 1);
    return numbers;
}

// Every main section but the given ones.
QList<int> mainSectionsExcept(const QList<int> &kept)
{
    QList<int> numbers;
    for (int number = 1; number <= sections::kMainSubjectCount; ++number)
        if (!kept.contains(number))
            numbers.append(number);
    return numbers;
}

} // namespace

class TestSectionRules : public QObject {
    Q_OBJECT
private slots:
    void selectionRule_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QList<int>>("disabled");
        QTest::addColumn<bool>("untickSupplementary");

        QTest::newRow("nothing") << QList<int>{} << QList<int>{22} << true;
        QTest::newRow("only 22 left ticked") << QList<int>{22} << QList<int>{22} << true;
        QTest::newRow("one") << QList<int>{5} << QList<int>{} << false;
        QTest::newRow("one and 22") << QList<int>{5, 22} << QList<int>{} << false;
        QTest::newRow("two") << QList<int>{1, 21} << QList<int>{} << false;
        QTest::newRow("two and 22") << QList<int>{1, 21, 22} << QList<int>{} << false;
        QTest::newRow("three") << QList<int>{2, 11, 18} << mainSectionsExcept({2, 11, 18}) << false;
        QTest::newRow("three and 22") << QList<int>{2, 11, 18, 22} << mainSectionsExcept({2, 11, 18}) << false;
        QTest::newRow("three at the edges") << QList<int>{1, 15, 21} << mainSectionsExcept({1, 15, 21}) << false;
    }
    void selectionRule()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QList<int>, disabled);
        QFETCH(bool, untickSupplementary);

        const sections::SubjectFlags ticks = flagsOf(ticked);
        const sections::SubjectBoxStates states = sections::subjectBoxStates(ticks);
        QCOMPARE(numbersOf(states.enabled, false), disabled);
        QCOMPARE(states.untickSupplementary, untickSupplementary);

        // Unticking 22 as the rule demands and running the rule again
        // changes nothing more.
        sections::SubjectFlags after = ticks;
        if (states.untickSupplementary)
            after[sections::kSupplementarySubject - 1] = false;
        QCOMPARE(sections::subjectBoxStates(after), states);
    }

    void slotsFromTicks_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QList<int>>("slotNumbers");

        QTest::newRow("nothing") << QList<int>{} << QList<int>{0, 0, 0, 0};
        QTest::newRow("one") << QList<int>{7} << QList<int>{7, 0, 0, 0};
        QTest::newRow("ticked 18, 2, 11") << QList<int>{18, 2, 11} << QList<int>{2, 11, 18, 0};
        QTest::newRow("three and 22") << QList<int>{22, 18, 11, 2} << QList<int>{2, 11, 18, 22};
        QTest::newRow("one and 22") << QList<int>{22, 21} << QList<int>{21, 22, 0, 0};
        QTest::newRow("two and 22") << QList<int>{16, 1, 22} << QList<int>{1, 16, 22, 0};
    }
    void slotsFromTicks()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QList<int>, slotNumbers);

        const std::array<qint32, 4> result = sections::subjectSlotsFromTicks(flagsOf(ticked));
        QCOMPARE(QList<int>(result.begin(), result.end()), slotNumbers);
    }

    void summaryLines_data()
    {
        QTest::addColumn<QList<int>>("slotNumbers");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("nothing") << QList<int>{0, 0, 0, 0}
                                 << QStringList{QStringLiteral("[ Раздел не задан ]"), {}, {}, {}};
        QTest::newRow("one") << QList<int>{8, 0, 0, 0} << QStringList{QStringLiteral("Математика"), {}, {}, {}};
        QTest::newRow("linguistics long name")
            << QList<int>{6, 0, 0, 0}
            << QStringList{QStringLiteral("Лингвистика (русский и иностранные языки)"), {}, {}, {}};
        QTest::newRow("three and 22") << QList<int>{2, 11, 18, 22}
                                      << QStringList{QStringLiteral("Биология"), QStringLiteral("Физика"),
                                                     QStringLiteral("Информационные технологии"),
                                                     QStringLiteral("В помощь учителю")};
    }
    void summaryLines()
    {
        QFETCH(QList<int>, slotNumbers);
        QFETCH(QStringList, lines);

        std::array<qint32, 4> numbers{};
        std::copy(slotNumbers.begin(), slotNumbers.end(), numbers.begin());
        const std::array<QString, 4> result = sections::subjectSummaryLines(numbers, core::defaultSubjectNames());
        QCOMPARE(QStringList(result.begin(), result.end()), lines);
    }
};

QTEST_APPLESS_MAIN(TestSectionRules)
#include "test_section_rules.moc"
