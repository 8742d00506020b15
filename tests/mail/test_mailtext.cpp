// The sending run's text work without a window or a server: folding to a byte
// width, the password scrambling, ISO-2022-JP and the message composer (whose
// output is read back by Python's email package).
#include "mail/passwordscrambler.h"
#include "mail/foldtext.h"
#include "mail/jistext.h"
#include "mail/mailcomposer.h"
#include "mail/smtptransport.h"
#include "smtptestserver.h"
#include "support/testapp.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

using namespace lumivox;

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString repeated(const QString &piece, int n) { return piece.repeated(n); }

// The pieces of a folded text, without their CR LF.
QStringList pieces(const QString &folded)
{
    QStringList list = folded.split(CRLF);
    if (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

QByteArray utf16le(const QString &text)
{
    return scrambledToBlob(text); // the same byte layout
}

} // namespace

class TestMailText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void foldsAsciiIntoWidthMinusOne();
    void foldsFullWidthByBytes();
    void foldsMixedLine();
    void countsHalfWidthKanaAsOneByte();
    void keepsLinesAndEnds();
    void foldsWithoutSplittingTheCount();
    void foldsLongLinesInLinearTime();

    void scramblesReversibly();
    void scramblesToKnownBytes();
    void keepsIndexOnePositions();
    void reportsKeyOutsideLimits();
    void encryptsFiles();
    void reportsMissingInputFile();
    void storesScrambledPasswordUnchanged();

    void mapsToJisLikeWindowsMailers();
    void findsCharactersThatCannotBeCarried();
    void encodesIso2022jp();

    void composesReadableMail();
    void foldsHeadersAndEncodesNames();
    void keepsLineBreaksOutOfHeaders();
    void switchesToBase64ForLongLines();
    void mailCheckFlagsWhatReadersCannotRead();
};

void TestMailText::foldsAsciiIntoWidthMinusOne()
{
    const QString line = repeated(QStringLiteral("a"), 100);
    QCOMPARE(FoldLine(line, 60), line.left(59) + CRLF + line.mid(59) + CRLF);
    QCOMPARE(pieces(FoldText(line, 60)), (QStringList{line.left(59), line.mid(59)}));
    // Widths of 2 or less close a piece at every character.
    QCOMPARE(FoldLine(QStringLiteral("abc"), 2), QStringLiteral("a\r\nb\r\nc\r\n"));
    QCOMPARE(FoldLine(QStringLiteral("ab"), 0), QStringLiteral("a\r\nb\r\n"));
}

void TestMailText::foldsFullWidthByBytes()
{
    const QString line = repeated(QStringLiteral("あ"), 40);
    QCOMPARE(pieces(FoldLine(line, 60)), (QStringList{line.left(30), line.mid(30)}));
    QCOMPARE(pieces(FoldLine(line, 61)), (QStringList{line.left(30), line.mid(30)}));
    // 〜 (U+301C) and ① count two bytes like any full-width character.
    const QString twins = repeated(QStringLiteral("〜①"), 10);
    QCOMPARE(pieces(FoldLine(twins, 10)).first(), twins.left(5));
}

void TestMailText::foldsMixedLine()
{
    const QString ascii = repeated(QStringLiteral("x"), 57);
    const QString wide = repeated(QStringLiteral("漢"), 70);
    const QStringList got = pieces(FoldLine(ascii + wide, 60));
    QCOMPARE(got.size(), 4);
    QCOMPARE(got[0], ascii + wide.left(1)); // 59 bytes
    QCOMPARE(got[1], wide.mid(1, 30));      // 60 bytes
    QCOMPARE(got[2], wide.mid(31, 30));
    QCOMPARE(got[3], wide.mid(61));
}

void TestMailText::countsHalfWidthKanaAsOneByte()
{
    const QString kana = QStringLiteral("ｱｲｳｴｵｶｷｸｹｺｻｼ");
    QCOMPARE(pieces(FoldLine(kana, 10)), (QStringList{kana.left(9), kana.mid(9)}));
    // Characters code page 932 cannot represent count one byte: an emoji (one
    // character, two code units) and U+00E9.
    const QString odd = QStringLiteral("😀éxyz");
    QCOMPARE(pieces(FoldLine(odd, 4)), (QStringList{QStringLiteral("😀éx"), QStringLiteral("yz")}));
}

void TestMailText::keepsLinesAndEnds()
{
    QCOMPARE(FoldText(QStringLiteral("A\r\n\r\nB"), 60), QStringLiteral("A\r\n\r\nB\r\n"));
    QCOMPARE(FoldText(QString(), 60), CRLF);
    QCOMPARE(FoldText(QStringLiteral("A\r\n"), 60), QStringLiteral("A\r\n"));
    QCOMPARE(FoldText(QStringLiteral("\r\nA"), 60), QStringLiteral("\r\nA\r\n"));
    // A lone LF is not a line break of the text: it stays inside its line.
    QCOMPARE(FoldText(QStringLiteral("A\nB"), 60), QStringLiteral("A\nB\r\n"));
    const QString body = repeated(QStringLiteral("b"), 70) + CRLF + QStringLiteral("short");
    QCOMPARE(pieces(FoldText(body, 30)),
             (QStringList{repeated(QStringLiteral("b"), 29), repeated(QStringLiteral("b"), 29),
                          repeated(QStringLiteral("b"), 12), QStringLiteral("short")}));
}

void TestMailText::foldsWithoutSplittingTheCount()
{
    // Every piece restarts its count: no piece exceeds the width in bytes.
    const QString line = repeated(QStringLiteral("aあｱ"), 200);
    for (const QString &piece : pieces(FoldLine(line, 21))) {
        int bytes = 0;
        for (QChar c : piece)
            bytes += cp932Width(c.unicode());
        QVERIFY2(bytes >= 20 || piece == pieces(FoldLine(line, 21)).last(), qPrintable(piece));
        QVERIFY(bytes <= 21);
    }
}

void TestMailText::foldsLongLinesInLinearTime()
{
    // A quadratic fold would take hours on this; a linear one takes milliseconds.
    const QString line = repeated(QStringLiteral("0123456789"), 30000);
    const QString folded = FoldText(line, 60);
    const QStringList got = pieces(folded);
    QCOMPARE(got.size(), (300000 + 58) / 59);
    QCOMPARE(got.join(QString()), line);
}

void TestMailText::scramblesReversibly()
{
    PasswordScrambler crypt;
    crypt.setPassword(QStringLiteral("Tolvarine"));
    QCOMPARE(crypt.EncryptString(QString()), QString());
    const QString lone = QString(QChar(0xD800)) + QChar(0) + QChar(u'\'') + QChar(0xFFFF);
    const QStringList texts{QStringLiteral("a"), QStringLiteral("password'123"), QStringLiteral("髙橋パス😀ﾜｰﾄﾞ"),
                            lone, repeated(QStringLiteral("長いパスワード"), 40)};
    for (const QString &text : texts) {
        const QString once = crypt.EncryptString(text);
        QCOMPARE(once.size(), text.size());
        QVERIFY(once != text);
        QCOMPARE(crypt.EncryptString(once), text);
        QCOMPARE(crypt.EncryptString(text), once); // every call starts from the key
    }
    // Another key gives another result, at the next call.
    const QString withKey = crypt.EncryptString(QStringLiteral("secret"));
    crypt.setPassword(QStringLiteral("Another"));
    QVERIFY(crypt.EncryptString(QStringLiteral("secret")) != withKey);
}

void TestMailText::scramblesToKnownBytes()
{
    // Worked out by hand from the byte rule (key "Tolvarine").
    PasswordScrambler crypt;
    crypt.setPassword(QStringLiteral("Tolvarine"));
    QCOMPARE(utf16le(crypt.EncryptString(QStringLiteral("Pass'word1"))).toHex(),
             QByteArray("0400d000af00c1004e007100ea001800510031b1"));
    QCOMPARE(utf16le(crypt.EncryptString(QStringLiteral("パスワード"))).toHex(),
             QByteArray("8530083033304e30a030"));
}

void TestMailText::keepsIndexOnePositions()
{
    PasswordScrambler crypt;
    crypt.setPassword(QStringLiteral("Tolvarine"));
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QChar(static_cast<char16_t>(0x3041 + i * 37));
    const QByteArray in = utf16le(text);
    const QByteArray out = utf16le(crypt.EncryptString(text));
    for (int pos = 1; pos < in.size(); pos += 17)
        QCOMPARE(out.at(pos), in.at(pos));
    int changed = 0;
    for (int pos = 0; pos < in.size(); ++pos)
        changed += (pos % 17 != 1 && out.at(pos) != in.at(pos)) ? 1 : 0;
    QVERIFY(changed > in.size() / 2);
}

void TestMailText::reportsKeyOutsideLimits()
{
    QStringList errors;
    PasswordScrambler crypt;
    crypt.setErrorHandler([&](const QString &title, const QString &text) { errors << title + u'|' + text; });
    crypt.setPassword(QString());
    QCOMPARE(crypt.EncryptString(QStringLiteral("abc")), QStringLiteral("abc"));
    QCOMPARE(errors, QStringList{QStringLiteral("EncryptByte|Error: 9. インデックスが有効範囲にありません。")});
    errors.clear();
    crypt.setPassword(repeated(QStringLiteral("k"), 65));
    crypt.EncryptString(QStringLiteral("abc"));
    QCOMPARE(errors, QStringList{QStringLiteral("EncryptByte|Error: 6. オーバーフローしました。")});
    errors.clear();
    crypt.setPassword(repeated(QStringLiteral("k"), 64));
    const QString text = repeated(QStringLiteral("データ"), 100);
    QCOMPARE(crypt.EncryptString(crypt.EncryptString(text)), text);
    QVERIFY(errors.isEmpty());
}

void TestMailText::encryptsFiles()
{
    QTemporaryDir dir;
    PasswordScrambler crypt;
    crypt.setPassword(QStringLiteral("Tolvarine"));
    QList<float> progress;
    crypt.setFileProgress([&](float f) { progress << f; });

    // Empty input: an empty output, progress 0 once.
    const QString empty = dir.filePath(QStringLiteral("empty.bin"));
    QFile(empty).open(QIODevice::WriteOnly);
    crypt.setInputFileName(empty);
    crypt.setOutputFileName(dir.filePath(QStringLiteral("empty.out")));
    crypt.EncryptFile();
    QVERIFY(QFile::exists(crypt.OutputFileName()));
    QCOMPARE(QFileInfo(crypt.OutputFileName()).size(), 0);
    QCOMPARE(progress, QList<float>{0.0f});

    // 70,000 bytes in blocks of 32767, 32767 and the remaining 4466: the same
    // bytes as the string route, the key state carried across blocks. An old
    // output file is replaced.
    QString text;
    for (int i = 0; i < 35000; ++i)
        text += QChar(static_cast<char16_t>(0x20 + (i * 7919) % 0xD000));
    const QString input = dir.filePath(QStringLiteral("in.bin"));
    QFile in(input);
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(utf16le(text));
    in.close();
    const QString output = dir.filePath(QStringLiteral("out.bin"));
    QFile old(output);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    progress.clear();
    crypt.setInputFileName(input);
    crypt.setOutputFileName(output);
    crypt.EncryptFile();
    QFile out(output);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), utf16le(crypt.EncryptString(text)));
    QCOMPARE(progress.size(), 4);
    QCOMPARE(progress.first(), 0.0f);
    QCOMPARE(progress[1], 32767.0f / 70000.0f);
    QCOMPARE(progress.last(), 1.0f);

    // One byte is processed too.
    QFile one(input);
    QVERIFY(one.open(QIODevice::WriteOnly));
    one.write("A");
    one.close();
    crypt.EncryptFile();
    QFile oneOut(output);
    QVERIFY(oneOut.open(QIODevice::ReadOnly));
    const QByteArray scrambled = oneOut.readAll();
    QCOMPARE(scrambled.size(), 1);
    QCOMPARE(scrambled.at(0), static_cast<char>('A' ^ 'T'));
}

void TestMailText::reportsMissingInputFile()
{
    QTemporaryDir dir;
    QStringList errors;
    PasswordScrambler crypt;
    crypt.setErrorHandler([&](const QString &title, const QString &text) { errors << title + u'|' + text; });
    crypt.setPassword(QStringLiteral("Tolvarine"));
    crypt.setInputFileName(dir.filePath(QStringLiteral("missing.bin")));
    crypt.setOutputFileName(dir.filePath(QStringLiteral("out.bin")));
    crypt.EncryptFile();
    QCOMPARE(errors, QStringList{QStringLiteral("EncryptFile|Error: 53. ファイルが見つかりません。")});
    QVERIFY(!QFile::exists(crypt.OutputFileName()));
}

void TestMailText::storesScrambledPasswordUnchanged()
{
    test::TestApp app;
    QVERIFY(app.isValid());
    // Passwords whose scrambled form holds 0, a quote or a lone surrogate.
    QStringList passwords{QString(), QStringLiteral("it's"), QStringLiteral("パス'ワード")};
    PasswordScrambler crypt;
    crypt.setPassword(QLatin1String(kPasswordKey));
    passwords << crypt.EncryptString(QString(QChar(0)) + QChar(0xDC00) + QChar(u'\''));
    for (const QString &plain : passwords) {
        QVERIFY(app.exec(QStringLiteral("delete from T_SMTPサーバー")));
        QVERIFY(app.exec(QStringLiteral("insert into T_SMTPサーバー (パスワード) values (?)"),
                         {scramblePassword(plain)}));
        QCOMPARE(app.scalar(QStringLiteral("select typeof(パスワード) from T_SMTPサーバー")).toString(),
                 QStringLiteral("blob"));
        QCOMPARE(unscramblePassword(app.scalar(QStringLiteral("select パスワード from T_SMTPサーバー"))), plain);
    }
    QCOMPARE(unscramblePassword(QVariant()), QString());
}

void TestMailText::mapsToJisLikeWindowsMailers()
{
    QCOMPARE(jisCode(U'〜'), quint16(0x2141));
    QCOMPARE(jisCode(U'～'), quint16(0x2141));
    QCOMPARE(jisCode(U'‖'), quint16(0x2142));
    QCOMPARE(jisCode(U'∥'), quint16(0x2142));
    QCOMPARE(jisCode(U'−'), quint16(0x215D));
    QCOMPARE(jisCode(U'－'), quint16(0x215D));
    QCOMPARE(jisCode(U'—'), quint16(0x213D));
    QCOMPARE(jisCode(U'―'), quint16(0x213D));
    QCOMPARE(jisCode(U'¢'), quint16(0x2171));
    QCOMPARE(jisCode(U'¬'), quint16(0x224C));
    QCOMPARE(jisCode(U'あ'), quint16(0x2422));
    QCOMPARE(jisCode(U'亜'), quint16(0x3021));
    QCOMPARE(jisCode(U'熙'), quint16(0x7426)); // last row of JIS X 0208
    // NEC row 13 stays row 13.
    QCOMPARE(jisCode(U'①'), quint16(0x2D21));
    QCOMPARE(jisCode(U'Ⅰ'), quint16(0x2D35));
    QCOMPARE(jisCode(U'㈱'), quint16(0x2D6A));
    QCOMPARE(jisCode(U'㍻'), quint16(0x2D5F));
    // The IBM extensions and the private-use area have no JIS code.
    QCOMPARE(jisCode(U'髙'), quint16(0));
    QCOMPARE(jisCode(U'﨑'), quint16(0));
    QCOMPARE(jisCode(U'ⅰ'), quint16(0));
    QCOMPARE(jisCode(0xE000), quint16(0));
    QCOMPARE(jisCode(U'😀'), quint16(0));

    QCOMPARE(cp932Width(u'A'), 1);
    QCOMPARE(cp932Width(u'ｱ'), 1);
    QCOMPARE(cp932Width(u'あ'), 2);
    QCOMPARE(cp932Width(u'髙'), 2); // in the code page, though not in ISO-2022-JP
    QCOMPARE(cp932Width(u'〜'), 2);
    QCOMPARE(cp932Width(u'é'), 1);
}

void TestMailText::findsCharactersThatCannotBeCarried()
{
    QCOMPARE(uncarriableCharacters(QStringLiteral("山田 ｶﾞｰﾃﾞﾝ ①〜～ abc")), QList<char32_t>{});
    QCOMPARE(uncarriableCharacters(QStringLiteral("髙橋と﨑と髙と😀")), (QList<char32_t>{U'髙', U'﨑', U'😀'}));
    // Controls that would break the encoding, and a lone surrogate.
    QCOMPARE(uncarriableCharacters(QStringLiteral("a\x1b" "b")), QList<char32_t>{0x1B});
    QCOMPARE(uncarriableCharacters(QString(QChar(0xD83D)) + QStringLiteral("x")), QList<char32_t>{0xD83D});
    // Kana with a combining voiced mark composes to a carried character.
    QCOMPARE(uncarriableCharacters(QStringLiteral("か\u3099")), QList<char32_t>{});
}

void TestMailText::encodesIso2022jp()
{
    QCOMPARE(toIso2022jp(QStringLiteral("abc")), QByteArray("abc"));
    QCOMPARE(toIso2022jp(QStringLiteral("あa")), QByteArray("\x1b$B$\"\x1b(Ba"));
    // Half-width katakana go out full width, with their voiced marks.
    QCOMPARE(toIso2022jp(QStringLiteral("ｶﾞﾊﾟｳﾞｱﾞﾞ")), toIso2022jp(QStringLiteral("ガパヴア゛゛")));
    // Every line break is reached in ASCII mode.
    QCOMPARE(toIso2022jp(QStringLiteral("あ\r\nい")),
             QByteArray("\x1b$B$\"\x1b(B\r\n\x1b$B$$\x1b(B"));
    // What cannot be carried becomes 〓.
    QCOMPARE(toIso2022jp(QStringLiteral("髙😀")), QByteArray("\x1b$B\".\".\x1b(B"));
}

void TestMailText::composesReadableMail()
{
    const QString body = QStringLiteral("本日は①㈱～〜ｶﾞの確認です。\r\n.dot line\r\n\r\n最後の行");
    const MessageComposer composer(QStringLiteral("連絡係 佐藤<sato@example.jp>"),
                                   QStringLiteral("運動会のお知らせ ～雨天時～"), body);
    QCOMPARE(composer.senderAddress(), QStringLiteral("sato@example.jp"));
    const QByteArray mail = composer.compose(QStringLiteral("山田 太郎<yamada@example.jp>"),
                                             QStringLiteral("役員会\r\n山田 太郎  様\r\n\r\n"),
                                             QDateTime(QDate(2026, 12, 1), QTime(9, 5, 7), QTimeZone(9 * 3600)));
    const QJsonObject got = test::SmtpTestServer::check(mail);
    QCOMPARE(got.value(QStringLiteral("problems")).toArray(), QJsonArray());
    QCOMPARE(got.value(QStringLiteral("from_name")).toString(), QStringLiteral("連絡係 佐藤"));
    QCOMPARE(got.value(QStringLiteral("from_addr")).toString(), QStringLiteral("sato@example.jp"));
    QCOMPARE(got.value(QStringLiteral("to_name")).toString(), QStringLiteral("山田 太郎"));
    QCOMPARE(got.value(QStringLiteral("to_addr")).toString(), QStringLiteral("yamada@example.jp"));
    QCOMPARE(got.value(QStringLiteral("subject")).toString(), QStringLiteral("運動会のお知らせ ～雨天時～"));
    QCOMPARE(got.value(QStringLiteral("body")).toString(),
             QStringLiteral("役員会\r\n山田 太郎  様\r\n\r\n本日は①㈱～～ガの確認です。\r\n.dot line\r\n\r\n最後の行\r\n"));
    QCOMPARE(got.value(QStringLiteral("cte")).toString(), QStringLiteral("7bit"));
    QCOMPARE(got.value(QStringLiteral("mime_version")).toString(), QStringLiteral("1.0"));
    QCOMPARE(got.value(QStringLiteral("date")).toString(), QStringLiteral("Tue, 01 Dec 2026 09:05:07 +0900"));
    QVERIFY(got.value(QStringLiteral("message_id")).toString().endsWith(QStringLiteral("@example.jp>")));
    // Each message gets its own Message-ID.
    const QJsonObject again = test::SmtpTestServer::check(composer.compose(QStringLiteral("<a@example.jp>"), {}));
    QVERIFY(again.value(QStringLiteral("message_id")) != got.value(QStringLiteral("message_id")));
}

void TestMailText::foldsHeadersAndEncodesNames()
{
    const QString subject = repeated(QStringLiteral("長い件名"), 20) + QStringLiteral(" ASCII tail");
    const MessageComposer composer(QStringLiteral("<only@example.jp>"), subject, QStringLiteral("x"));
    const QByteArray mail = composer.compose(QStringLiteral("Taro \"T\" Yamada<taro@example.jp>"), {});
    const QJsonObject got = test::SmtpTestServer::check(mail);
    QCOMPARE(got.value(QStringLiteral("problems")).toArray(), QJsonArray());
    QCOMPARE(got.value(QStringLiteral("subject")).toString(), subject);
    QVERIFY(got.value(QStringLiteral("longest_header_line")).toInt() < 78);
    QCOMPARE(got.value(QStringLiteral("to_name")).toString(), QStringLiteral("Taro \"T\" Yamada"));
    // An empty name gives the address alone.
    QVERIFY(mail.contains("\r\nFrom: only@example.jp\r\n") || mail.startsWith("From: only@example.jp\r\n"));
    QCOMPARE(got.value(QStringLiteral("from_addr")).toString(), QStringLiteral("only@example.jp"));
    QCOMPARE(got.value(QStringLiteral("from_name")).toString(), QString());
    // A plain short ASCII subject stays readable as it is.
    const QByteArray plain = MessageComposer(QStringLiteral("<a@example.jp>"), QStringLiteral("Meeting at 10"), {})
                                 .compose(QStringLiteral("<b@example.jp>"), {});
    QVERIFY(plain.contains("\r\nSubject: Meeting at 10\r\n"));
}

void TestMailText::keepsLineBreaksOutOfHeaders()
{
    const MessageComposer composer(QStringLiteral("Evil\r\nBcc: x@example.jp<from@example.jp>"),
                                   QStringLiteral("件名\r\nBcc: victim@example.jp"), QStringLiteral("本文"));
    const QByteArray mail = composer.compose(QStringLiteral("名前\nX-Injected: 1<to@example.jp>"), {});
    const QJsonObject got = test::SmtpTestServer::check(mail);
    const auto noInjectedHeader = [](const QJsonObject &checked) {
        for (const QJsonValue &name : checked.value(QStringLiteral("header_names")).toArray()) {
            if (name.toString() == QStringLiteral("Bcc") || name.toString() == QStringLiteral("Cc")
                || name.toString() == QStringLiteral("X-Injected"))
                return false;
        }
        return true;
    };
    QVERIFY(noInjectedHeader(got));
    QCOMPARE(got.value(QStringLiteral("subject")).toString(), QStringLiteral("件名  Bcc: victim@example.jp"));
    QCOMPARE(got.value(QStringLiteral("to_addr")).toString(), QStringLiteral("to@example.jp"));
    QCOMPARE(got.value(QStringLiteral("problems")).toArray(), QJsonArray());

    // A line break inside the address cannot start a header either. (No reader
    // can use what is left of such an address; the transport refuses it before
    // a mail is sent.)
    const QJsonObject broken = test::SmtpTestServer::check(
        composer.compose(QStringLiteral("名前<to@example.jp\r\nCc: y@example.jp>"), {}));
    QVERIFY(noInjectedHeader(broken));
    QVERIFY(!isEnvelopeSafe(QStringLiteral("to@example.jp\r\nCc: y@example.jp")));
}

void TestMailText::switchesToBase64ForLongLines()
{
    // 2,000 full-width characters: far over 998 bytes on one line.
    const QString longLine = repeated(QStringLiteral("長"), 2000);
    const QString body = QStringLiteral("前の行\r\n") + longLine + QStringLiteral("\r\n後の行");
    const QJsonObject got = test::SmtpTestServer::check(
        MessageComposer(QStringLiteral("<a@example.jp>"), QStringLiteral("長い行"), body)
            .compose(QStringLiteral("<b@example.jp>"), QStringLiteral("グループ\r\n\r\n")));
    QCOMPARE(got.value(QStringLiteral("problems")).toArray(), QJsonArray());
    QCOMPARE(got.value(QStringLiteral("cte")).toString(), QStringLiteral("base64"));
    QCOMPARE(got.value(QStringLiteral("body")).toString(), QStringLiteral("グループ\r\n\r\n") + body + QStringLiteral("\r\n"));
    // A line just within the limit (998 bytes) stays 7bit; lone LF and CR become CR LF.
    const QString edge = repeated(QStringLiteral("a"), 998);
    const QJsonObject seven = test::SmtpTestServer::check(
        MessageComposer(QStringLiteral("<a@example.jp>"), {}, edge + QStringLiteral("\nx\ry"))
            .compose(QStringLiteral("<b@example.jp>"), {}));
    QCOMPARE(seven.value(QStringLiteral("cte")).toString(), QStringLiteral("7bit"));
    // A body ends with a line break, as SMTP data always does.
    QCOMPARE(seven.value(QStringLiteral("body")).toString(), edge + QStringLiteral("\r\nx\r\ny\r\n"));
    QCOMPARE(seven.value(QStringLiteral("problems")).toArray(), QJsonArray());
}

// The oracle itself: mails a reader could not read (or would read otherwise)
// are flagged, and a good one with the Windows twins is not.
void TestMailText::mailCheckFlagsWhatReadersCannotRead()
{
    const auto mail = [](const QByteArray &from, const QByteArray &subject, const QByteArray &jisBody) {
        return "From: " + from + "\r\nTo: b@example.jp\r\nSubject: " + subject
               + "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                 "Content-Transfer-Encoding: 7bit\r\n\r\n"
               + jisBody + "\r\n";
    };
    const auto word = [](const QByteArray &jis) { return "=?ISO-2022-JP?B?" + jis.toBase64() + "?="; };
    const auto problems = [](const QByteArray &message) {
        QStringList list;
        for (const QJsonValue &p : test::SmtpTestServer::check(message).value(QStringLiteral("problems")).toArray())
            list << p.toString();
        return list.join(QStringLiteral(" | "));
    };

    // Good: 〜 ‖ − ¢ £ ¬ as their JIS codes, no row 13; two self-contained words.
    const QByteArray good = mail("a@example.jp", word("\x1b$B$\"\x1b(B") + ' ' + word("\x1b$B$$\x1b(B"),
                                 "\x1b$B!A!B!]!q!r\"L\x1b(B");
    QCOMPARE(problems(good), QString());
    QCOMPARE(toIso2022jp(QStringLiteral("～∥－￠￡￢")), QByteArray("\x1b$B!A!B!]!q!r\"L\x1b(B"));

    // The first word leans on the second (it ends in JIS mode): the email
    // package joins them and reads あい, a reader decoding word by word does not.
    const QString leaning = problems(mail("a@example.jp", word("\x1b$B$\"") + ' ' + word("$$\x1b(B"), "x"));
    QVERIFY2(leaning.contains(QStringLiteral("Subject encoded-word 1: ends in JIS mode")), qPrintable(leaning));

    // 髙 sent as its code in the IBM rows (0x7C62): cp932 knows it, ISO-2022-JP
    // readers do not.
    const QString ibm = problems(mail("a@example.jp", "x", "\x1b$B|b\x1b(B"));
    QVERIFY2(ibm.contains(QStringLiteral("body: Python's iso2022_jp cannot read it")), qPrintable(ibm));

    // No sender address.
    QVERIFY(problems(mail("<>", "x", "x")).contains(QStringLiteral("empty From address")));
}

QTEST_MAIN(TestMailText)
#include "test_mailtext.moc"
