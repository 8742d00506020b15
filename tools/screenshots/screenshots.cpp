// Saves a PNG of each window of the program into the folder given as argument
// (make screenshots: build/screenshots/), to look at what users see.
#include "shots.h"

#include "app/startup.h"

#include <QApplication>
#include <QMap>
#include <QTest>
#include <QWidget>
#include <cstdio>

namespace lumivox::shots {

namespace {

QMap<QString, ShotFunction> &registry()
{
    static QMap<QString, ShotFunction> shots;
    return shots;
}

} // namespace

bool registerShot(const QString &name, const ShotFunction &shot)
{
    registry().insert(name, shot);
    return true;
}

void ShotContext::save(QWidget *window, const QString &name)
{
    if (!window->isVisible())
        window->show();
    if (!QTest::qWaitForWindowExposed(window))
        std::fprintf(stderr, "%s was not shown\n", qPrintable(name));
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
    const QString path = out.filePath(name + QStringLiteral(".png"));
    if (window->grab().save(path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
}

void addSampleData(test::TestApp &app)
{
    const QStringList groups{QStringLiteral("役員会"), QStringLiteral("１年１組保護者"),
                             QStringLiteral("１年２組保護者"), QStringLiteral("子ども会"),
                             QStringLiteral("防災委員")};
    const QStringList readings{QStringLiteral("ヤクインカイ"), QStringLiteral("イチネンイックミホゴシャ"),
                               QStringLiteral("イチネンニクミホゴシャ"), QStringLiteral("コドモカイ"),
                               QStringLiteral("ボウサイイイン")};
    for (int i = 0; i < groups.size(); ++i)
        app.addGroup(i + 1, groups[i], readings[i]);
    struct M { const char *name, *reading, *honorific, *mail; };
    const M members[] = {
        {"山田 太郎", "ヤマダ タロウ", "様", "yamada@example.jp"},
        {"佐藤 花子", "サトウ ハナコ", "様", "hanako.sato@example.ne.jp"},
        {"鈴木 一郎", "スズキ イチロウ", "さん", "suzuki1@example.com"},
        {"高橋 美咲", "タカハシ ミサキ", "様", "misaki@example.jp"},
        {"田中 健", "タナカ ケン", "先生", "tanaka.ken@school.example.jp"},
        {"伊藤 由美", "イトウ ユミ", "様", "yumi.ito@example.or.jp"},
        {"渡辺 翔太", "ワタナベ ショウタ", "君", "shota@example.jp"},
        {"中村 さくら", "ナカムラ サクラ", "様", "sakura.n@example.jp"},
    };
    int id = 1;
    for (const M &m : members)
        app.addMember(id++, QString::fromUtf8(m.name), QString::fromUtf8(m.reading),
                      QString::fromUtf8(m.honorific), QString::fromUtf8(m.mail));
    const int links[][2] = {{1, 1}, {2, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 1}, {5, 3}, {6, 4}, {7, 4}, {8, 5}};
    for (const auto &l : links)
        app.link(memberGroups(), l[0], l[1]);
    app.addNotice(1, QStringLiteral("運動会のお知らせ"),
                  QStringLiteral("保護者の皆様\r\n\r\n来る１０月１２日（土），運動会を開催します。\r\n"
                                 "雨天の場合は翌日に順延します。\r\n\r\n役員会"),
                  QStringLiteral("2026/09/20 18:30:12"), QStringLiteral("2026/09/21 07:45:03"));
    app.addNotice(2, QStringLiteral("防災訓練の日程"),
                  QStringLiteral("防災委員の皆様\r\n\r\n１１月の防災訓練は１６日（日）９時からです。"),
                  QStringLiteral("2026/10/30 21:02:44"));
    app.addNotice(3, QStringLiteral("子ども会 クリスマス会"),
                  QStringLiteral("１２月２０日（日）に公民館でクリスマス会を行います。"),
                  QStringLiteral("2026/12/01 08:15:00"));
    app.link(noticeDestinations(), 1, 1);
    app.link(noticeDestinations(), 1, 2);
    app.link(noticeDestinations(), 1, 3);
    app.link(noticeDestinations(), 2, 5);
    app.link(noticeDestinations(), 3, 4);
}

} // namespace lumivox::shots

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    lumivox::prepareApplication(app);
    const QStringList args = app.arguments();
    const QString outDir = args.size() > 1 ? args[1] : QStringLiteral("screenshots");
    QDir().mkpath(outDir);
    const QString only = args.size() > 2 ? args[2] : QString();
    for (auto it = lumivox::shots::registry().cbegin(); it != lumivox::shots::registry().cend(); ++it) {
        if (!only.isEmpty() && it.key() != only)
            continue;
        lumivox::test::TestApp sample;
        if (!sample.isValid())
            return 1;
        lumivox::shots::addSampleData(sample);
        lumivox::shots::ShotContext ctx{sample, QDir(outDir)};
        it.value()(ctx);
    }
    return 0;
}
