// Japanese order and matching of names, through SQL on a real database.
#include "db/japanesetext.h"
#include "support/testapp.h"

#include <QSqlQuery>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

class TestJapanese : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesInJapaneseOrder()
    {
        // Code-point order would give いとう, サトウ, 佐藤, 鈴木, 阿部, ｶﾄｳ.
        TestApp app;
        app.addMembers({QStringLiteral("鈴木"), QStringLiteral("ｶﾄｳ"), QStringLiteral("阿部"),
                        QStringLiteral("サトウ"), QStringLiteral("佐藤"), QStringLiteral("いとう"),
                        QStringLiteral("Brown"), QStringLiteral("adams")});
        QSqlQuery q(app.db());
        QVERIFY(q.exec(QStringLiteral("select 名前 from T_メンバー order by 名前 collate JAPANESE")));
        QStringList names;
        while (q.next())
            names << q.value(0).toString();
        QCOMPARE(names, QStringList({QStringLiteral("adams"), QStringLiteral("Brown"),
                                     QStringLiteral("いとう"), QStringLiteral("ｶﾄｳ"),
                                     QStringLiteral("サトウ"), QStringLiteral("阿部"),
                                     QStringLiteral("佐藤"), QStringLiteral("鈴木")}));
        QVERIFY(compareJapanese(QStringLiteral("かとう"), QStringLiteral("さとう")) < 0);
    }

    void matching_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("katakana finds half width") << "ｽｽﾞｷ ﾀﾛｳ" << "%スズキ%" << true;
        QTest::newRow("hiragana finds katakana") << "イトウ" << "いと%" << true;
        QTest::newRow("full-width Latin, any case") << "ｙａｍａｄａ＠ｅｘａｍｐｌｅ" << "%YAMADA@%" << true;
        QTest::newRow("voiced mark matters") << "スズキ" << "%ススキ%" << false;
        QTest::newRow("_ is a wildcard") << "イトウ" << "い_う" << true;
        QTest::newRow("full-width ％ is no wildcard") << "イトウ" << "い％" << false;
        QTest::newRow("full-width ％ found as itself") << "100％" << "%％" << true;
        QTest::newRow("Null never matches") << QString() << "%" << false;
    }

    void matching()
    {
        QFETCH(QString, stored);
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        TestApp app;
        app.addMember(1, QStringLiteral("名前"), stored.isNull() ? QString() : stored);
        if (stored.isNull())
            QVERIFY(app.exec(QStringLiteral("update T_メンバー set フリガナ = null")));
        QCOMPARE(app.count(QStringLiteral("T_メンバー"),
                           QStringLiteral("JMATCH(フリガナ) like JMATCH('%1')").arg(pattern)),
                 found ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestJapanese)
#include "test_japanese.moc"
