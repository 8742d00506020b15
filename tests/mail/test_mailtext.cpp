// The mail core's text work without a server: folding, ISO-2022-JP, the password
// scrambler and the composer, whose mails are read back by Python's email package.
#include "mail/foldtext.h"
#include "mail/jistext.h"
#include "mail/mailcomposer.h"
#include "mail/passwordscrambler.h"
#include "smtptestserver.h"

#include <QTest>

using namespace lumivox;
using namespace Qt::StringLiterals;
using test::field;
using test::problemsOf;

namespace {

const QString kNotice = u"【重要】保護者の皆様へ。運動会（雨天時は翌日）の準備について、詳しくは"
                        "https://example.jp/pta/undoukai/junbi.html?id=12345&lang=ja をご覧ください。ご質問は「連絡係」"
                        "yakuin.renraku@example.jp まで！〔注〕コーヒー・お茶は各自でご用意ください；熱中症にご注意を？"
                        "案内図：http://example.jp/map/school-ground/entrance-gate/parking-area.png，または『しおり』を"
                        "ご覧ください．ちょっとしたキャッチャーの練習もあります。《特集》〈お願い〉"
                        "mailto:kanri@example.jp?subject=undoukai へどうぞ。Please read the preparation notes carefully."_s;
const QStringList kUnbreakable{u"https://example.jp/pta/undoukai/junbi.html?id=12345&lang=ja"_s, u"yakuin.renraku@example.jp"_s,
                               u"http://example.jp/map/school-ground/entrance-gate/parking-area.png"_s,
                               u"mailto:kanri@example.jp?subject=undoukai"_s};

QString hex(const QString &text) { return QString::fromLatin1(scrambledToBlob(text).toHex()); }

} // namespace

class TestMailText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void folds_data();
    void folds();
    void foldsNoticeAtEveryWidth();
    void foldsLongLinesInLinearTime();
    void encodesIso2022jp_data();
    void encodesIso2022jp();
    void scrambles_data();
    void scrambles();
    void composes_data();
    void composes();
};

void TestMailText::folds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("folded"); // "|" for CR LF
    const QString a = u"a"_s, x = u"あ"_s;
    QTest::newRow("ASCII: width - 1") << a.repeated(100) << 60 << a.repeated(59) + u'|' + a.repeated(41) + u'|';
    QTest::newRow("full width: 60 bytes") << x.repeated(40) << 61 << x.repeated(30) + u'|' + x.repeated(10) + u'|';
    QTest::newRow("ASCII then kanji") << a.repeated(57) + u"漢"_s.repeated(31) << 60 << a.repeated(57) + u"漢|"_s + u"漢"_s.repeated(30) + u'|';
    QTest::newRow("half-width kana 1 byte") << u"ｱｲｳｴｵｶｷｸｹｺｻｼ"_s << 10 << u"ｱｲｳｴｵｶｷｸｹ|ｺｻｼ|"_s;
    QTest::newRow("〜, row 13, 髙 2 bytes") << u"〜①髙あ"_s << 7 << u"〜①髙|あ|"_s;
    QTest::newRow("width 2 or less") << u"abc"_s << 2 << u"a|b|c|"_s;
    QTest::newRow("width 0") << u"ab"_s << 0 << u"a|b|"_s;
    QTest::newRow("lines and ends") << u"A\r\n\r\nB"_s << 60 << u"A||B|"_s;
    QTest::newRow("empty text") << QString() << 60 << u"|"_s;
    QTest::newRow("ends with CR LF") << u"\r\nA\r\n"_s << 60 << u"|A|"_s;
    QTest::newRow("lone LF stays") << u"A\nB"_s << 60 << u"A\nB|"_s;
    QTest::newRow("。 never begins a line") << x.repeated(30) + u"。"_s << 60 << x.repeated(29) + u"|あ。|"_s;
    QTest::newRow("small kana, ー") << x.repeated(29) + u"キャー"_s << 60 << x.repeated(29) + u"|キャー|"_s;
    QTest::newRow("（ never ends a line") << x.repeated(29) + u"（は）"_s << 60 << x.repeated(29) + u"|（は）|"_s;
    QTest::newRow("Latin word whole") << u"see preparation notes"_s << 16 << u"see |preparation |notes|"_s;
    QTest::newRow("address on its own line") << u"連絡先:taro.yamada@example.jp まで"_s << 10 << u"連絡先:|taro.yamada@example.jp |まで|"_s;
    QTest::newRow("URL whole, brackets kept") << u"（https://a.jp/x.html?y=1）です"_s << 12 << u"（https://a.jp/x.html?y=1）|です|"_s;
    QTest::newRow("emoji never split") << u"😀😀😀😀😀"_s << 3 << u"😀😀|😀😀|😀|"_s;
    QTest::newRow("mark stays with its kana") << u"か\u3099か\u3099ｶﾞ"_s << 4 << u"か\u3099|か\u3099|ｶﾞ|"_s;
}

void TestMailText::folds()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, folded);
    QCOMPARE(FoldText(text, width).replace(u"\r\n"_s, u"|"_s), folded);
}

// A notice folded at every width and read back by Python: links and addresses
// arrive whole, no line breaks a Japanese line-break rule, no line is longer
// than the width unless it holds one of those unbreakable pieces, and nothing
// is lost.
void TestMailText::foldsNoticeAtEveryWidth()
{
    QList<QByteArray> mails;
    for (int width = 20; width <= 80; ++width)
        mails << MessageComposer(u"<a@example.jp>"_s, u"折り返し"_s, FoldText(kNotice, width)).compose(u"<b@example.jp>"_s, {});
    const QList<QJsonObject> got = test::SmtpTestServer::check(mails);
    QCOMPARE(got.size(), mails.size());
    for (int width = 20; width <= 80; ++width) {
        QCOMPARE(problemsOf(got[width - 20]), QJsonArray());
        QStringList lines = field(got[width - 20], "body").split(u"\r\n"_s);
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.join(QString()), kNotice);
        for (const QString &piece : kUnbreakable)
            QVERIFY2(!lines.filter(piece).isEmpty(), qPrintable(u"%1 cut at %2"_s.arg(piece).arg(width)));
        for (const QString &line : lines) {
            const QString where = u"width %1: %2"_s.arg(width).arg(line);
            QVERIFY2(!u"、。，．・：；？！ー)）」』】〕〉》ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"_s.contains(line.front()), qPrintable(where));
            QVERIFY2(!u"(（「『【〔〈《"_s.contains(line.back()), qPrintable(where));
            int bytes = 0;
            for (QChar c : line)
                bytes += cp932Width(c.unicode());
            QVERIFY2(bytes <= width || std::any_of(kUnbreakable.begin(), kUnbreakable.end(),
                                                   [&](const QString &piece) { return line.contains(piece); }),
                     qPrintable(where));
        }
    }
}

void TestMailText::foldsLongLinesInLinearTime()
{
    // A fold that measured each piece again at every character would take hours.
    const QString line = u"0123456789"_s.repeated(30000);
    const QStringList pieces = FoldText(line, 60).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(pieces.size(), (300000 + 58) / 59);
    QCOMPARE(pieces.join(QString()), line);
}

void TestMailText::encodesIso2022jp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("jis");
    QTest::addColumn<QString>("uncarriable");
    QTest::newRow("ASCII") << u"abc"_s << "abc"_ba << QString();
    QTest::newRow("back to ASCII") << u"あa"_s << "\x1b$B$\"\x1b(Ba"_ba << QString();
    QTest::newRow("line breaks in ASCII mode") << u"あ\r\nい"_s << "\x1b$B$\"\x1b(B\r\n\x1b$B$$\x1b(B"_ba << QString();
    QTest::newRow("half-width kana as full width") << u"ｶﾞﾊﾟｳﾞｱﾞﾞ"_s << "\x1b$B%,%Q%t%\"!+!+\x1b(B"_ba << QString();
    QTest::newRow("JIS forms") << u"〜‖−¢£¬"_s << "\x1b$B!A!B!]!q!r\"L\x1b(B"_ba << QString();
    QTest::newRow("Windows twins") << u"～∥－￠￡￢"_s << "\x1b$B!A!B!]!q!r\"L\x1b(B"_ba << QString();
    QTest::newRow("dashes, last row") << u"—―熙"_s << "\x1b$B!=!=t&\x1b(B"_ba << QString();
    QTest::newRow("NEC row 13") << u"①Ⅰ㈱㍻"_s << "\x1b$B-!-5-j-_\x1b(B"_ba << QString();
    QTest::newRow("combining voiced mark") << u"か\u3099"_s << "\x1b$B$,\x1b(B"_ba << QString();
    QTest::newRow("IBM rows, private use, emoji as 〓") << u"髙﨑ⅰ\uE000😀髙"_s << "\x1b$B\".\".\".\".\".\".\x1b(B"_ba
                                                        << u"U+9AD9 U+FA11 U+2170 U+E000 U+1F600"_s;
    QTest::newRow("ESC, lone surrogate") << u"a\x1b"_s + QChar(0xD83D) << "a\x1b$B\".\".\x1b(B"_ba << u"U+001B U+D83D"_s;
}

void TestMailText::encodesIso2022jp()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, jis);
    QFETCH(QString, uncarriable);
    QCOMPARE(toIso2022jp(text), jis);
    QStringList names;
    for (char32_t c : uncarriableCharacters(text))
        names << codePointName(c);
    QCOMPARE(names.join(u' '), uncarriable);
}

void TestMailText::scrambles_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("scrambled"); // UTF-16LE hex, worked out by hand from the byte rule
    QTest::addColumn<QString>("error");
    const QString key = QString::fromLatin1(kPasswordKey), k = u"k"_s;
    QTest::newRow("ASCII") << key << u"Pass'word1"_s << u"0400d000af00c1004e007100ea001800510031b1"_s << QString();
    QTest::newRow("kana") << key << u"パスワード"_s << u"8530083033304e30a030"_s << QString();
    QTest::newRow("empty") << key << QString() << QString() << QString();
    QTest::newRow("NUL, quote, lone surrogate") << key << QChar(0xD800) + QString(QChar(0)) + u"'\uFFFF"_s << QString() << QString();
    QTest::newRow("long, outside CP932") << key << u"髙橋パス😀ﾜｰﾄﾞ"_s.repeated(30) << QString() << QString();
    QTest::newRow("64-character key") << k.repeated(64) << u"データ"_s.repeated(100) << QString() << QString();
    QTest::newRow("empty key") << QString() << u"abc"_s << hex(u"abc"_s) << u"EncryptByte|Error: 9. インデックスが有効範囲にありません。"_s;
    QTest::newRow("65-character key") << k.repeated(65) << u"abc"_s << hex(u"abc"_s) << u"EncryptByte|Error: 6. オーバーフローしました。"_s;
}

void TestMailText::scrambles()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, scrambled);
    QFETCH(QString, error);
    QStringList errors;
    PasswordScrambler crypt;
    crypt.setErrorHandler([&](const QString &title, const QString &what) { errors << title + u'|' + what; });
    crypt.setPassword(key);
    bool ok = false;
    const QString once = crypt.EncryptString(text, &ok);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(errors.join(u'\n'), error); // once per call, not per byte
    if (!scrambled.isEmpty())
        QCOMPARE(hex(once), scrambled);
    QCOMPARE(once.size(), text.size());
    QCOMPARE(crypt.EncryptString(once), text); // its own inverse
    QCOMPARE(crypt.EncryptString(text), once); // every call starts from the key
    // The bytes at key index 1 pass unchanged: byte 1, then every 2n − 1 bytes.
    const QByteArray in = scrambledToBlob(text), out = scrambledToBlob(once);
    for (qsizetype pos = 1; ok && pos < in.size(); pos += key.size() * 2 - 1)
        QCOMPARE(out.at(pos), in.at(pos));
    QVERIFY(!ok || text.size() < 2 || once != text);
}

void TestMailText::composes_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<MailCharset>("charset");
    QTest::addColumn<bool>("eightBit"); // the server announced 8BITMIME
    QTest::addColumn<QString>("sentAs");
    QTest::addColumn<int>("longest"); // header line
    const auto names = [](const char *tag, const QString &name, const QString &body, MailCharset charset, bool eightBit,
                          const QString &sentAs) {
        QTest::newRow(tag) << name + u"<from@example.jp>"_s << name + u"<to@example.jp>"_s << name + u" のお知らせ"_s << body
                           << charset << eightBit << sentAs << 78;
    };
    const QString all = u"髙橋 𠮷田 ① 😀 ｶﾞｰﾃﾞﾝ"_s, longLine = u"長"_s.repeated(600), jis = u"山田①ｶﾞ"_s;
    names("UTF-8, base64", all, all, MailCharset::Utf8, false, u"utf-8 base64"_s);
    names("UTF-8, 8BITMIME", all, all, MailCharset::Utf8, true, u"utf-8 8bit"_s);
    names("UTF-8, line over 998 bytes", all, longLine, MailCharset::Utf8, true, u"utf-8 base64"_s);
    names("automatic, 髙 in the names", all, jis, MailCharset::Automatic, true, u"utf-8 8bit"_s);
    names("automatic, 😀 in the body", jis, all, MailCharset::Automatic, false, u"utf-8 base64"_s);
    names("automatic, all carried", jis, jis, MailCharset::Automatic, true, u"iso-2022-jp 7bit"_s);
    names("ISO-2022-JP, line over 998 bytes", jis, longLine, MailCharset::Iso2022jp, true, u"iso-2022-jp base64"_s);
    const QString b = u"<b@example.jp>"_s, text = u"本文"_s, sevenBit = u"iso-2022-jp 7bit"_s;
    const MailCharset iso = MailCharset::Iso2022jp;
    QTest::newRow("1,200-character ASCII sender") << u"Parent Teacher Association "_s.repeated(45).left(1200) + b << b
                                                  << u"Meeting at 10"_s << text << iso << false << sevenBit << 78;
    QTest::newRow("1,200 characters, no blank") << u"x"_s.repeated(1200) + b << u"\""_s.repeated(40) + b << u"x"_s.repeated(300) << text << iso
                                                << false << sevenBit << 78;
    QTest::newRow("long subject, quoted name") << u"<only@example.jp>"_s << u"Taro \"T\" Yamada<taro@example.jp>"_s
                                               << u"長い件名"_s.repeated(20) + u" ASCII tail"_s << text << iso << false << sevenBit << 78;
    QTest::newRow("line breaks start no header") << u"Evil\r\nBcc: x@example.jp<from@example.jp>"_s
                                                 << u"名前\nX-Injected: 1<to@example.jp>"_s << u"件名\r\nBcc: victim@example.jp"_s
                                                 << text << iso << false << sevenBit << 78;
    QTest::newRow("address longer than SMTP carries") << b << u"名前<%1@example.jp>"_s.arg(u"a"_s.repeated(1500)) << u"x"_s
                                                      << text << iso << false << sevenBit << 998;
}

// What the reader decodes is exactly what was written (controls as blanks;
// half-width kana kept in UTF-8, full width in ISO-2022-JP), in the character
// set and transfer encoding the mail needs; every header line stays within 78
// columns where the data lets it and never goes beyond 998 bytes; nothing in the
// data starts a header of its own.
void TestMailText::composes()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(MailCharset, charset);
    QFETCH(bool, eightBit);
    QFETCH(QString, sentAs);
    QFETCH(int, longest);
    MessageComposer composer(from, subject, body, charset);
    composer.setEightBitAllowed(eightBit);
    const QByteArray raw = composer.compose(to, {});
    const QJsonObject mail = test::SmtpTestServer::check(raw);
    for (const auto &[header, mailbox] : {std::pair{"From", from}, std::pair{"To", to}}) {
        const Mailbox parsed = parseMailbox(mailbox); // without a name: <address>
        QVERIFY(!parsed.name.isEmpty()
                || ("\n" + raw).contains("\n" + QByteArray(header) + ": <" + parsed.address.toLatin1() + ">\r\n"));
    }
    QCOMPARE(problemsOf(mail), QJsonArray());
    QCOMPARE(field(mail, "charset") + u' ' + field(mail, "cte"), sentAs);
    QVERIFY(mail.value("longest_header_line"_L1).toInt() <= longest);
    const auto read = [&](QString text) {
        text.replace(u"\r\n"_s, u"  "_s).replace(u'\n', u' ');
        return sentAs.startsWith(u'u') ? text : text.replace(u"ｶﾞ"_s, u"ガ"_s);
    };
    QCOMPARE(field(mail, "from_name"), read(parseMailbox(from).name));
    QCOMPARE(field(mail, "to_name"), read(parseMailbox(to).name));
    QCOMPARE(field(mail, "subject"), read(subject));
    QCOMPARE(field(mail, "body"), read(body) + u"\r\n"_s);
    const QStringList headers = mail.value("header_names"_L1).toVariant().toStringList();
    QVERIFY(!headers.contains(u"Bcc"_s) && !headers.contains(u"X-Injected"_s));
}

QTEST_GUILESS_MAIN(TestMailText)
#include "test_mailtext.moc"
