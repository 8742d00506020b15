#pragma once

#include "registers/registerwindow.h"

namespace lumivox {

// The group register: T_グループ in the register window, at most 99 groups, a card
// of name and reading, no filters and no group list.
class GroupRegister : public RegisterWindow
{
    Q_OBJECT
public:
    explicit GroupRegister(AppContext &context, QWidget *parent = nullptr);

protected:
    QString deletionQuestion(const QString &name, const QList<int> &linkCounts) const override;
};

} // namespace lumivox
