#include "shots.h"

#include "registers/importdialog.h"

#include <QFile>

using lumivox::ImportDialog;
using lumivox::RosterKind;
using lumivox::TextEncoding;

namespace {

// A roster as a Japanese Excel saves it (CP932), with a duplicate of a sample
// member, a row without a name and an address typed in full width.
void openSampleRoster(lumivox::shots::ShotContext &ctx, ImportDialog &dialog)
{
    const QString text = QStringLiteral(
        "氏名,ふりがな,敬称,メールアドレス,所属,備考\r\n"
        "小林 直樹,こばやし なおき,様,kobayashi@example.jp,役員会、１年１組保護者,会計\r\n"
        "加藤 恵,ｶﾄｳ ﾒｸﾞﾐ,さん,megumi.kato@example.jp,子ども会,\r\n"
        "山田 太郎,やまだ たろう,様,yamada@example.jp,防災委員,\"住所変更\r\nあり\"\r\n"
        ",まつもと,様,matsumoto@example,子ども会,\r\n"
        "吉田 髙志,よしだ たかし,様,ｙｏｓｈｉｄａ＠ｅｘａｍｐｌｅ．ｊｐ,２年１組保護者,\r\n");
    const QString path = ctx.app.dir() + QStringLiteral("/名簿.csv");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(lumivox::encodeText(text, TextEncoding::Cp932));
    file.close();
    dialog.openFile(path);
}

} // namespace

LUMIVOX_SCREENSHOT(import_mapping)
{
    ImportDialog dialog(ctx.app.db(), RosterKind::Members);
    openSampleRoster(ctx, dialog);
    ctx.save(&dialog, QStringLiteral("import_mapping"));
}

LUMIVOX_SCREENSHOT(import_summary)
{
    ImportDialog dialog(ctx.app.db(), RosterKind::Members);
    openSampleRoster(ctx, dialog);
    dialog.showSummary();
    ctx.save(&dialog, QStringLiteral("import_summary"));
}
