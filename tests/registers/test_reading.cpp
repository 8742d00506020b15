// Readings from the input method and the width conversion of the furigana boxes.
#include "app/kana.h"
#include "app/readingedit.h"

#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>

using namespace lumivox;

class TestReading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullWidthConversion_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("fullWidth");
        QTest::addColumn<QString>("reading");
        QTest::newRow("letters and digits") << "abc XYZ 123" << "ａｂｃ　ＸＹＺ　１２３"
                                            << "ａｂｃ　ＸＹＺ　１２３";
        QTest::newRow("symbols") << "a.b@c-d_e'f" << "ａ．ｂ＠ｃ－ｄ＿ｅ＇ｆ" << "ａ．ｂ＠ｃ－ｄ＿ｅ＇ｆ";
        QTest::newRow("half-width kana") << "ﾔﾏﾀﾞ ﾀﾛｳ" << "ヤマダ　タロウ" << "ヤマダ　タロウ";
        QTest::newRow("voiced marks join") << "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ"
                                           << "ガギグゲゴザジズゼゾダヂヅデド"
                                           << "ガギグゲゴザジズゼゾダヂヅデド";
        QTest::newRow("ha row") << "ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟﾊﾋﾌﾍﾎ" << "バビブベボパピプペポハヒフヘホ"
                                << "バビブベボパピプペポハヒフヘホ";
        QTest::newRow("vu, small kana, long mark") << "ｳﾞｧｲｵﾘﾝ ｷｬｯﾄｰ" << "ヴァイオリン　キャットー"
                                                   << "ヴァイオリン　キャットー";
        QTest::newRow("a mark with nothing to join") << "ﾞｱﾟﾅﾞ" << "゛ア゜ナ゛" << "゛ア゜ナ゛";
        QTest::newRow("punctuation") << "｢ｱ､ｲ｡･ｦ｣" << "「ア、イ。・ヲ」" << "「ア、イ。・ヲ」";
        QTest::newRow("hiragana only in a reading") << "やまだ ぢゃゔゝゞ" << "やまだ　ぢゃゔゝゞ"
                                                   << "ヤマダ　ヂャヴヽヾ";
        QTest::newRow("full width and kanji kept") << "山田ＡＢＣヤマダ" << "山田ＡＢＣヤマダ"
                                                   << "山田ＡＢＣヤマダ";
        QTest::newRow("empty") << "" << "" << "";
    }

    void fullWidthConversion()
    {
        QFETCH(QString, input);
        QFETCH(QString, fullWidth);
        QFETCH(QString, reading);
        QCOMPARE(toFullWidth(input), fullWidth);
        QCOMPARE(toReadingKatakana(input), reading);
    }

    // What fcitx5 or IBus with Mozc send while the user composes, "|" between
    // events: the preedit as it grows (empty: Esc drops it), "=" a commit (">"
    // the next preedit in the same event), "#" letters typed without it.
    void readingOfEachCommit_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readings");
        QTest::newRow("one conversion") << "ｙ|や|やｍ|やま|やまｄ|やまだ|山田|=山田" << "山田" << "やまだ";
        QTest::newRow("two, the second candidate")
            << "や|やま|やまだ|山田|=山田|た|たろ|たろう|太郎|太朗|=太朗" << "山田太朗" << "やまだ,たろう";
        QTest::newRow("commit as the next starts")
            << "さ|さと|さとう|佐藤|=佐藤>ｈ|は|はな|はなこ|花子|=花子" << "佐藤花子" << "さとう,はなこ";
        QTest::newRow("kana unconverted, F8 half width") << "す|すず|すずき|=すずき|け|けん|ｹﾝ|=ｹﾝ" << "すずきｹﾝ"
                                                          << "すずき,ｹﾝ";
        QTest::newRow("F9 letters: the kana") << "ｙ|や|やｍ|やま|やまｄ|やまだ|ｙａｍａｄａ|=ｙａｍａｄａ"
                                              << "ｙａｍａｄａ" << "やまだ";
        QTest::newRow("Esc drops the composition") << "や|やま||い|いと|いとう|伊藤|=伊藤" << "伊藤" << "いとう";
        QTest::newRow("direct input: none") << "#abc|=X" << "abcX" << "";
    }

    void readingOfEachCommit()
    {
        QFETCH(QString, events);
        QFETCH(QString, text);
        QFETCH(QString, readings);
        ReadingEdit edit;
        QSignalSpy committed(&edit, &ReadingEdit::readingCommitted);
        for (const QString &e : events.split(u'|')) {
            if (e.startsWith(u'#')) {
                QTest::keyClicks(&edit, e.mid(1));
                continue;
            }
            const bool commit = e.startsWith(u'=');
            const QString preedit = commit ? e.section(u'>', 1) : e;
            QTextCharFormat underline;
            underline.setFontUnderline(true);
            QList<QInputMethodEvent::Attribute> attrs;
            if (!commit)
                attrs = {{QInputMethodEvent::TextFormat, 0, int(preedit.size()), underline},
                         {QInputMethodEvent::Cursor, int(preedit.size()), 1}};
            QInputMethodEvent event(preedit, attrs);
            if (commit)
                event.setCommitString(e.mid(1).section(u'>', 0, 0));
            QCoreApplication::sendEvent(&edit, &event);
        }
        QCOMPARE(edit.text(), text);
        QStringList got;
        for (const QList<QVariant> &signal : committed)
            got << signal.at(0).toString();
        QCOMPARE(got.join(u','), readings);
    }
};

QTEST_MAIN(TestReading)
#include "test_reading.moc"
