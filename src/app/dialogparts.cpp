#include "app/dialogparts.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

QFrame *explanationFrame(QWidget *dialog, const QString &text, bool wrap)
{
    auto *fraCaption = new QFrame(dialog);
    fraCaption->setObjectName(QStringLiteral("fraCaption"));
    fraCaption->setFrameShape(QFrame::StyledPanel);
    auto *txtCaption = new QLabel(fraCaption);
    txtCaption->setObjectName(QStringLiteral("txtCaption"));
    txtCaption->setWordWrap(wrap);
    txtCaption->setTextFormat(Qt::PlainText);
    txtCaption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtCaption->setText(text);
    auto *frameLayout = new QVBoxLayout(fraCaption);
    frameLayout->setContentsMargins(6, 6, 6, 6);
    frameLayout->addWidget(txtCaption);
    return fraCaption;
}

DialogButtons okCancelButtons(QWidget *dialog)
{
    DialogButtons b{};
    b.ok = new QPushButton(QStringLiteral("OK(&O)"), dialog);
    b.ok->setObjectName(QStringLiteral("cmdOk"));
    b.ok->setDefault(true);
    b.cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), dialog);
    b.cancel->setObjectName(QStringLiteral("cmdCancel"));
    b.cancel->setAutoDefault(false);
    b.row = new QHBoxLayout;
    b.row->addStretch(1);
    b.row->addWidget(b.ok);
    b.row->addWidget(b.cancel);
    return b;
}

} // namespace lumivox
