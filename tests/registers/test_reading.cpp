// Readings from the input method and the width conversion of the furigana boxes.
#include "app/kana.h"
#include "app/readingedit.h"

#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>

using namespace lumivox;

namespace {

// What fcitx5 or IBus with Mozc send while the user composes: the preedit as it
// grows, with the usual underline format and the cursor at its end.
void preedit(QWidget *w, const QString &text)
{
    QList<QInputMethodEvent::Attribute> attrs;
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    attrs << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0,
                                          static_cast<int>(text.size()), underline);
    attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, static_cast<int>(text.size()), 1);
    QInputMethodEvent e(text, attrs);
    QCoreApplication::sendEvent(w, &e);
}

void commit(QWidget *w, const QString &text, const QString &nextPreedit = {})
{
    QInputMethodEvent e(nextPreedit, {});
    e.setCommitString(text);
    QCoreApplication::sendEvent(w, &e);
}

// Typing a word key by key, as romaji appears and turns into kana.
void type(QWidget *w, const QStringList &steps)
{
    for (const QString &s : steps)
        preedit(w, s);
}

} // namespace

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

    void oneConversionGivesTheTypedKana()
    {
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"ｙ", "や", "やｍ", "やま", "やまｄ", "やまだ"});
        preedit(&edit, QStringLiteral("山田")); // Space: the conversion replaces the kana
        QCOMPARE(readings.count(), 0);
        commit(&edit, QStringLiteral("山田"));
        QCOMPARE(edit.text(), QStringLiteral("山田"));
        QCOMPARE(readings.count(), 1);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("やまだ"));
    }

    void eachConversionReportsItsOwnReading()
    {
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"や", "やま", "やまだ"});
        preedit(&edit, QStringLiteral("山田"));
        commit(&edit, QStringLiteral("山田"));
        type(&edit, {"た", "たろ", "たろう"});
        preedit(&edit, QStringLiteral("太郎"));
        preedit(&edit, QStringLiteral("太朗")); // the next candidate
        commit(&edit, QStringLiteral("太朗"));
        QCOMPARE(edit.text(), QStringLiteral("山田太朗"));
        QCOMPARE(readings.count(), 2);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("やまだ"));
        QCOMPARE(readings.at(1).at(0).toString(), QStringLiteral("たろう"));
    }

    void commitWhileTheNextCompositionStarts()
    {
        // Typing on after a conversion commits it and opens the next composition
        // in the same event.
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"さ", "さと", "さとう"});
        preedit(&edit, QStringLiteral("佐藤"));
        commit(&edit, QStringLiteral("佐藤"), QStringLiteral("ｈ"));
        type(&edit, {"は", "はな", "はなこ"});
        preedit(&edit, QStringLiteral("花子"));
        commit(&edit, QStringLiteral("花子"));
        QCOMPARE(edit.text(), QStringLiteral("佐藤花子"));
        QCOMPARE(readings.count(), 2);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("さとう"));
        QCOMPARE(readings.at(1).at(0).toString(), QStringLiteral("はなこ"));
    }

    void kanaCommittedUnconvertedIsItsOwnReading()
    {
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"す", "すず", "すずき"});
        commit(&edit, QStringLiteral("すずき"));
        // Converted to half-width katakana (F8) and committed.
        type(&edit, {"け", "けん"});
        preedit(&edit, QStringLiteral("ｹﾝ"));
        commit(&edit, QStringLiteral("ｹﾝ"));
        QCOMPARE(readings.count(), 2);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("すずき"));
        QCOMPARE(toReadingKatakana(readings.at(1).at(0).toString()), QStringLiteral("ケン"));
    }

    void lettersFromTheKanaStayKana()
    {
        // F9 turns the composition into full-width letters; the reading is the kana.
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"ｙ", "や", "やｍ", "やま", "やまｄ", "やまだ"});
        preedit(&edit, QStringLiteral("ｙａｍａｄａ"));
        commit(&edit, QStringLiteral("ｙａｍａｄａ"));
        QCOMPARE(readings.count(), 1);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("やまだ"));
    }

    void cancelledCompositionGivesNothing()
    {
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        type(&edit, {"や", "やま"});
        preedit(&edit, QString()); // Esc: the composition is dropped
        QCOMPARE(readings.count(), 0);
        QVERIFY(edit.text().isEmpty());
        type(&edit, {"い", "いと", "いとう"});
        preedit(&edit, QStringLiteral("伊藤"));
        commit(&edit, QStringLiteral("伊藤"));
        QCOMPARE(readings.count(), 1);
        QCOMPARE(readings.at(0).at(0).toString(), QStringLiteral("いとう"));
    }

    void directInputHasNoReading()
    {
        // Letters typed without the input method, or committed without any kana.
        ReadingEdit edit;
        QSignalSpy readings(&edit, &ReadingEdit::readingCommitted);
        QTest::keyClicks(&edit, QStringLiteral("abc"));
        commit(&edit, QStringLiteral("X"));
        QCOMPARE(edit.text(), QStringLiteral("abcX"));
        QCOMPARE(readings.count(), 0);
    }
};

QTEST_MAIN(TestReading)
#include "app/kana.h"
#include "test_reading.moc"
