// The passport model without any window: the rules of the two lists, the
// sections and the picture as the model keeps them, what it announces, and
// the order in which a passport built through it is found incomplete.

#include "fixtures.h"
#include "model/passport_model.h"
#include "picture/jpeg_codec.h"
#include "save/completeness.h"
#include "save/data_document.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using Side = PassportModel::Side;
using Added = PassportModel::Added;
using Text = PassportModel::Text;
using Slots = std::array<qint32, 4>;

QStringList ids(const QList<TPersonRecord> &people)
{
    QStringList result;
    for (const TPersonRecord &person : people)
        result.append(person.Id);
    return result;
}

// A plain picture of the given size and colour.
QImage plainPicture(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestPassportModel : public QObject {
    Q_OBJECT
private slots:
    void startsEmptyWithTheSeasonsConstants()
    {
        const PassportModel model;
        const PassportSnapshot s = model.snapshot();
        QCOMPARE(s.seasonId, kSeasonId);
        QCOMPARE(s.seasonName, kSeasonName);
        QCOMPARE(s.subjectNames, core::defaultSubjectNames());
        QCOMPARE(s.subjectSlots, (std::array<qint32, 4>{0, 0, 0, 0}));
        QVERIFY(s.authors.isEmpty() && s.teachers.isEmpty());
        QCOMPARE(s.leaderIndex, -1);
        QVERIFY(!s.hasPicture);
        QVERIFY(s.title.isEmpty() && s.pictureCaption.isEmpty());
    }

    void addAppendsWithEmptyNames_data()
    {
        QTest::addColumn<Side>("side");
        QTest::newRow("authors") << Side::Authors;
        QTest::newRow("supervisors") << Side::Teachers;
    }
    void addAppendsWithEmptyNames()
    {
        QFETCH(Side, side);
        PassportModel model;
        QSignalSpy lists(&model, &PassportModel::participantsChanged);
        const Added first = model.addParticipant(side, tt::checkedId(1));
        const Added second = model.addParticipant(side, tt::checkedId(2));
        QCOMPARE(first.outcome, Added::New);
        QCOMPARE(first.row, 0);
        QCOMPARE(second.row, 1);
        QCOMPARE(model.participants(side),
                 (QList<TPersonRecord>{{tt::checkedId(1), {}, {}, {}}, {tt::checkedId(2), {}, {}, {}}}));
        QVERIFY(model.participants(PassportModel::otherSide(side)).isEmpty());
        QCOMPARE(lists.size(), 2);
        QCOMPARE(lists.at(0).at(0).value<Side>(), side);
        // The first supervisor receives the invoice; later ones leave it.
        QCOMPARE(model.leaderIndex(), side == Side::Teachers ? 0 : -1);
    }

    void limits_data()
    {
        QTest::addColumn<Side>("side");
        QTest::addColumn<int>("limit");
        QTest::newRow("ten authors") << Side::Authors << 10;
        QTest::newRow("three supervisors") << Side::Teachers << 3;
    }
    void limits()
    {
        QFETCH(Side, side);
        QFETCH(int, limit);
        PassportModel model;
        QCOMPARE(PassportModel::limit(side), limit);
        for (int i = 0; i < limit; ++i) {
            QVERIFY(model.canAdd(side));
            QCOMPARE(model.addParticipant(side, tt::checkedId(i)).outcome, Added::New);
        }
        QVERIFY(!model.canAdd(side));
        QSignalSpy changed(&model, &PassportModel::changed);
        QCOMPARE(model.addParticipant(side, tt::checkedId(100)).outcome, Added::ListFull);
        QCOMPARE(model.participants(side).size(), limit);
        QCOMPARE(changed.size(), 0);
        // A deletion makes room again.
        model.deleteParticipant(side, 0);
        QVERIFY(model.canAdd(side));
    }

    // An ID stands at most once in the two lists together.
    void duplicateIds_data()
    {
        QTest::addColumn<Side>("side");
        QTest::addColumn<int>("existing"); // the n of the ID added again
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("row");
        QTest::newRow("author again") << Side::Authors << 2 << int(Added::InThisList) << 1;
        QTest::newRow("supervisor as author") << Side::Authors << 4 << int(Added::InOtherList) << 1;
        QTest::newRow("supervisor again") << Side::Teachers << 3 << int(Added::InThisList) << 0;
        QTest::newRow("author as supervisor") << Side::Teachers << 1 << int(Added::InOtherList) << 0;
    }
    void duplicateIds()
    {
        QFETCH(Side, side);
        QFETCH(int, existing);
        QFETCH(int, outcome);
        QFETCH(int, row);
        PassportModel model;
        model.setParticipants({tt::person(tt::checkedId(1), "А", "", ""), tt::person(tt::checkedId(2), "Б", "", "")},
                              {tt::person(tt::checkedId(3), "В", "", ""), tt::person(tt::checkedId(4), "Г", "", "")},
                              1);
        const PassportSnapshot before = model.snapshot();
        QSignalSpy changed(&model, &PassportModel::changed);
        const Added added = model.addParticipant(side, tt::checkedId(existing));
        QCOMPARE(int(added.outcome), outcome);
        QCOMPARE(added.row, row);
        QCOMPARE(model.snapshot(), before);
        QCOMPARE(changed.size(), 0);
    }

    void deleteShiftsAndPicksTheRowBefore_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("next");
        const auto id = [](int n) { return tt::checkedId(n); };
        QTest::newRow("middle") << 3 << 1 << QStringList{id(0), id(2)} << 0;
        QTest::newRow("last") << 3 << 2 << QStringList{id(0), id(1)} << 1;
        QTest::newRow("first") << 3 << 0 << QStringList{id(1), id(2)} << 0;
        QTest::newRow("only") << 1 << 0 << QStringList{} << -1;
    }
    void deleteShiftsAndPicksTheRowBefore()
    {
        QFETCH(int, count);
        QFETCH(int, row);
        QFETCH(QStringList, left);
        QFETCH(int, next);
        PassportModel model;
        for (int i = 0; i < count; ++i) {
            model.addParticipant(Side::Authors, tt::checkedId(i));
            model.setParticipantName(Side::Authors, i, &TPersonRecord::Surname, QStringLiteral("Фамилия%1").arg(i));
        }
        QCOMPARE(model.deleteParticipant(Side::Authors, row), next);
        QCOMPARE(ids(model.participants(Side::Authors)), left);
        // The names move with their participants.
        for (const TPersonRecord &person : model.participants(Side::Authors))
            for (int i = 0; i < count; ++i)
                if (person.Id == tt::checkedId(i))
                    QCOMPARE(person.Surname, QStringLiteral("Фамилия%1").arg(i));
        // Nothing to delete outside the list.
        QCOMPARE(model.deleteParticipant(Side::Authors, 5), -1);
    }

    // A deleted supervisor hands the invoice to the supervisor who is shown
    // next in its place; with none left, nobody receives it.
    void deletingASupervisorMovesTheInvoice_data()
    {
        QTest::addColumn<int>("leader");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("leaderAfter");
        QTest::newRow("recipient third, first deleted") << 2 << 0 << 0;
        QTest::newRow("recipient first, third deleted") << 0 << 2 << 1;
        QTest::newRow("recipient second, second deleted") << 1 << 1 << 0;
    }
    void deletingASupervisorMovesTheInvoice()
    {
        QFETCH(int, leader);
        QFETCH(int, row);
        QFETCH(int, leaderAfter);
        PassportModel model;
        model.setParticipants({},
                              {tt::person(tt::checkedId(1), "", "", ""), tt::person(tt::checkedId(2), "", "", ""),
                               tt::person(tt::checkedId(3), "", "", "")},
                              leader);
        QCOMPARE(model.leaderIndex(), leader);
        model.deleteParticipant(Side::Teachers, row);
        QCOMPARE(model.leaderIndex(), leaderAfter);
        model.deleteParticipant(Side::Teachers, 0);
        model.deleteParticipant(Side::Teachers, 0);
        QCOMPARE(model.leaderIndex(), -1);
    }

    void deletingAnAuthorKeepsTheInvoice()
    {
        PassportModel model;
        model.setParticipants({tt::person(tt::checkedId(1), "", "", "")},
                              {tt::person(tt::checkedId(2), "", "", ""), tt::person(tt::checkedId(3), "", "", "")}, 1);
        model.deleteParticipant(Side::Authors, 0);
        QCOMPARE(model.leaderIndex(), 1);
    }

    void leaderStaysInsideTheSupervisors()
    {
        PassportModel model;
        model.setParticipants({}, {tt::person(tt::checkedId(1), "", "", "")}, 5);
        QCOMPARE(model.leaderIndex(), -1);
        model.setLeaderIndex(0);
        QCOMPARE(model.leaderIndex(), 0);
        QSignalSpy leader(&model, &PassportModel::leaderChanged);
        model.setLeaderIndex(3);
        QCOMPARE(model.leaderIndex(), -1);
        QCOMPARE(leader.size(), 1);
    }

    void setParticipantsCutsToTheLimits()
    {
        QList<TPersonRecord> authors, teachers;
        for (int i = 0; i < 12; ++i)
            authors.append(tt::person(tt::checkedId(i), "", "", ""));
        for (int i = 0; i < 5; ++i)
            teachers.append(tt::person(tt::checkedId(20 + i), "", "", ""));
        PassportModel model;
        model.setParticipants(authors, teachers, 4);
        QCOMPARE(model.participants(Side::Authors), authors.mid(0, 10));
        QCOMPARE(model.participants(Side::Teachers), teachers.mid(0, 3));
        QCOMPARE(model.leaderIndex(), -1);
    }

    void namesGoToTheirRow()
    {
        PassportModel model;
        model.addParticipant(Side::Teachers, tt::checkedId(1));
        model.addParticipant(Side::Teachers, tt::checkedId(2));
        QSignalSpy names(&model, &PassportModel::participantNameChanged);
        model.setParticipantName(Side::Teachers, 1, &TPersonRecord::Patronymic, QStringLiteral("Ильич"));
        model.setParticipantName(Side::Teachers, 1, &TPersonRecord::Patronymic, QStringLiteral("Ильич"));
        model.setParticipantName(Side::Teachers, 7, &TPersonRecord::Name, QStringLiteral("никто"));
        QCOMPARE(model.participants(Side::Teachers)[1],
                 (TPersonRecord{tt::checkedId(2), {}, {}, QStringLiteral("Ильич")}));
        QCOMPARE(names.size(), 1);
    }

    void textsAnnounceRealChangesOnly()
    {
        PassportModel model;
        QSignalSpy texts(&model, &PassportModel::textChanged);
        model.setText(Text::Title, QStringLiteral("Весна"));
        model.setText(Text::Title, QStringLiteral("Весна"));
        model.setText(Text::Notes, QStringLiteral("a\r\nb"));
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0).at(0).value<Text>(), Text::Title);
        const PassportSnapshot s = model.snapshot();
        QCOMPARE(s.title, QStringLiteral("Весна"));
        QCOMPARE(s.notes, QStringLiteral("a\r\nb"));
    }

    // The sections of a passport read back are what the dialog makes of them.
    // Each row of the table of texts reaches its own member of the plain
    // passport, and no other.
    void everyTextHasItsOwnMember_data()
    {
        QTest::addColumn<int>("row");
        for (const PassportTextRow &row : kPassportTexts)
            QTest::newRow(row.element.data()) << int(row.which);
    }
    void everyTextHasItsOwnMember()
    {
        QFETCH(int, row);
        const PassportTextRow &text = kPassportTexts[std::size_t(row)];
        PassportModel model;
        const PassportSnapshot before = model.snapshot();
        model.setText(text.which, QStringLiteral("typed"));
        PassportSnapshot expected = before;
        expected.*text.member = QStringLiteral("typed");
        QCOMPARE(model.snapshot(), expected);
        QCOMPARE(model.text(text.which), QStringLiteral("typed"));
    }

    // Only an ID whose check digits match, formatted as the dialog formats
    // it, joins a list.
    void uncheckedIdsAreRefused_data()
    {
        QTest::addColumn<QString>("id");
        const QString good = tt::checkedId(5);
        QString wrongDigit = good;
        wrongDigit[10] = wrongDigit[10] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QTest::newRow("wrong check digit") << wrongDigit;
        QTest::newRow("not formatted") << QString(good).remove(QLatin1Char('-'));
        QTest::newRow("empty") << QString();
    }
    void uncheckedIdsAreRefused()
    {
        QFETCH(QString, id);
        PassportModel model;
        QSignalSpy changed(&model, &PassportModel::changed);
        QCOMPARE(model.addParticipant(Side::Authors, id).outcome, Added::NotChecked);
        QVERIFY(model.participants(Side::Authors).isEmpty());
        QCOMPARE(changed.count(), 0);
    }

    // The passport is modified exactly while it differs from what was
    // opened or saved, and says so when that turns.
    void modifiedFollowsTheSavedPassport()
    {
        PassportModel model;
        QSignalSpy modified(&model, &PassportModel::modifiedChanged);
        QSignalSpy path(&model, &PassportModel::filePathChanged);
        QSignalSpy saved(&model, &PassportModel::saved);
        QVERIFY(!model.isModified());
        QVERIFY(model.filePath().isEmpty());

        model.setText(Text::Title, QStringLiteral("Работа"));
        QVERIFY(model.isModified());
        model.setText(Text::Manual, QStringLiteral("Запустить"));
        model.setText(Text::Manual, QString());
        model.setText(Text::Title, QString());
        QVERIFY(!model.isModified());
        QCOMPARE(modified.count(), 2);

        model.setText(Text::Title, QStringLiteral("Работа"));
        model.markSaved(QStringLiteral("/home/user/Passport.kwp"));
        QVERIFY(!model.isModified());
        QCOMPARE(model.filePath(), QStringLiteral("/home/user/Passport.kwp"));
        QCOMPARE(path.count(), 1);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(modified.count(), 4);

        // Back to the empty passport is a change against the saved one.
        model.setText(Text::Title, QString());
        QVERIFY(model.isModified());
        QCOMPARE(model.filePath(), QStringLiteral("/home/user/Passport.kwp"));
    }

    // A restored draft knows what was saved only by its fingerprint: the
    // passport is modified until it equals that passport again.
    void restoredDraftComparesByFingerprint()
    {
        PassportModel saved;
        saved.setText(Text::Title, QStringLiteral("Сохранено"));
        const QByteArray fingerprint = save::passportFingerprint(saved.snapshot());

        PassportModel model;
        PassportSnapshot draft = saved.snapshot();
        draft.title = QStringLiteral("Черновик");
        model.restore(draft);
        model.markRestored(QStringLiteral("/p/work.kwp"), fingerprint);
        QVERIFY(model.isModified());
        QCOMPARE(model.filePath(), QStringLiteral("/p/work.kwp"));
        QCOMPARE(model.savedFingerprint(), fingerprint);
        model.setText(Text::Title, QStringLiteral("Сохранено"));
        QVERIFY(!model.isModified());
    }

    void restoredSectionsAsChosen_data()
    {
        QTest::addColumn<Slots>("read");
        QTest::addColumn<Slots>("kept");
        QTest::newRow("in order") << Slots{3, 17, 21, 22} << Slots{3, 17, 21, 22};
        QTest::newRow("out of order, repeated") << Slots{17, 3, 3, 0} << Slots{3, 17, 0, 0};
        QTest::newRow("outside 1 to 22") << Slots{0, 23, -1, 5} << Slots{5, 0, 0, 0};
        QTest::newRow("supplementary alone") << Slots{22, 0, 0, 0} << Slots{0, 0, 0, 0};
        QTest::newRow("supplementary first") << Slots{22, 8, 0, 0} << Slots{8, 22, 0, 0};
    }
    void restoredSectionsAsChosen()
    {
        QFETCH(Slots, read);
        QFETCH(Slots, kept);
        PassportSnapshot passport;
        passport.subjectSlots = read;
        PassportModel model;
        model.restore(passport);
        QCOMPARE(model.subjectSlots(), kept);
    }

    void restoreTakesEverything()
    {
        PassportSnapshot passport = tt::fullPassport();
        passport.hasPicture = true;
        passport.picture = plainPicture(40, 30, Qt::red);
        PassportModel model;
        model.addParticipant(Side::Authors, tt::checkedId(99));
        passport.pictureJpeg = QByteArray("stored jpeg");
        model.restore(passport);
        QCOMPARE(model.snapshot(), passport);
        QCOMPARE(model.pictureJpeg(), QByteArray("stored jpeg"));
        QCOMPARE(model.pictureFile(), QByteArray("stored jpeg"));
    }

    // Without a picture the caption is kept as read, so that saving again
    // writes the same document.
    void restoreWithoutPictureKeepsTheCaption()
    {
        PassportModel model;
        model.setPicture(plainPicture(10, 10, Qt::blue));
        PassportSnapshot passport;
        passport.pictureCaption = QStringLiteral("Подпись");
        QSignalSpy pictures(&model, &PassportModel::pictureChanged);
        model.restore(passport);
        QVERIFY(!model.hasPicture());
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(model.text(Text::Caption), QStringLiteral("Подпись"));
    }

    void pictureFileIsStoredOrEncoded()
    {
        PassportModel model;
        QCOMPARE(model.pictureFile(), QByteArray());
        model.setPicture(plainPicture(20, 10, Qt::green), QByteArray("as stored"));
        QCOMPARE(model.pictureFile(), QByteArray("as stored"));
        // A picture loaded anew is encoded from what is shown.
        model.setPicture(plainPicture(20, 10, Qt::green));
        QVERIFY(model.pictureJpeg().isEmpty());
        const QImage written = QImage::fromData(model.pictureFile(), "JPEG");
        QCOMPARE(written.size(), QSize(20, 10));
        QCOMPARE(model.picture().format(), QImage::Format_RGB32);
    }

    void removingThePictureClearsItsCaption()
    {
        PassportModel model;
        model.setPicture(plainPicture(10, 10, Qt::blue), QByteArray("stored"));
        model.setText(Text::Caption, QStringLiteral("Подпись"));
        model.removePicture();
        QVERIFY(!model.hasPicture());
        QVERIFY(model.picture().isNull());
        QVERIFY(model.pictureJpeg().isEmpty());
        QCOMPARE(model.text(Text::Caption), QString());
        QCOMPARE(model.snapshot().picture, QImage());
    }

    // The passport built through the model is found incomplete in the order
    // the user reads the warning: title, description, sections, authors,
    // supervisors.
    void completenessOrder()
    {
        PassportModel model;
        const auto first = [&model] { return save::firstMissing(model.snapshot()); };
        QCOMPARE(first().item, save::FirstMissing::Title);
        QCOMPARE(save::missingItems(model.snapshot()).size(), 5);
        model.setText(Text::Title, QStringLiteral("Работа"));
        QCOMPARE(first().item, save::FirstMissing::Description);
        model.setText(Text::Description, QStringLiteral("Описание"));
        QCOMPARE(first().item, save::FirstMissing::Sections);
        model.setSubjectSlots({4, 0, 0, 0});
        QCOMPARE(first().item, save::FirstMissing::Authors);
        QCOMPARE(first().person, -1);
        model.addParticipant(Side::Authors, tt::checkedId(1));
        QCOMPARE(first().item, save::FirstMissing::Authors);
        QCOMPARE(first().person, 0);
        QCOMPARE(first().part, &TPersonRecord::Surname);
        model.setParticipantName(Side::Authors, 0, &TPersonRecord::Surname, QStringLiteral("Иванов"));
        QCOMPARE(first().part, &TPersonRecord::Name);
        model.setParticipantName(Side::Authors, 0, &TPersonRecord::Name, QStringLiteral("Иван"));
        model.setParticipantName(Side::Authors, 0, &TPersonRecord::Patronymic, QStringLiteral("Иванович"));
        QCOMPARE(first().item, save::FirstMissing::Teachers);
        model.addParticipant(Side::Teachers, tt::checkedId(2));
        for (auto part : {&TPersonRecord::Surname, &TPersonRecord::Name, &TPersonRecord::Patronymic})
            model.setParticipantName(Side::Teachers, 0, part, QStringLiteral("Петров"));
        QCOMPARE(first().item, save::FirstMissing::Nothing);
        QVERIFY(save::missingItems(model.snapshot()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPassportModel)
#include "test_passport_model.moc"
