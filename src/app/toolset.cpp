#include "app/toolset.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyle>
#include <QToolBar>

// The pictures are resources of a static library: registered by hand, once
// (outside any namespace).
static void initPictures()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(raster);
        return true;
    }();
    Q_UNUSED(done);
}

namespace lumivox {

namespace {

// A picture drawn at build time (tools/iconraster): SIZE × SIZE premultiplied
// ARGB32 pixels.
void addDrawnPicture(QIcon &icon, const QString &name, int size)
{
    initPictures();
    const QResource picture(QStringLiteral(":/lumivox/raster/%1-%2.argb").arg(name).arg(size));
    const QByteArray pixels = picture.isValid() ? picture.uncompressedData() : QByteArray();
    if (pixels.size() != qsizetype(size) * size * 4)
        return;
    const QImage image(reinterpret_cast<const uchar *>(pixels.constData()), size, size,
                       QImage::Format_ARGB32_Premultiplied);
    icon.addPixmap(QPixmap::fromImage(image.copy())); // the copy owns its pixels
}

QIcon drawnPicture(const QString &name, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        addDrawnPicture(icon, name, size);
    return icon;
}

} // namespace

QIcon programIcon(const QString &name)
{
    // The program's own pictures: the same on every desktop, and no icon-theme
    // search on the way to the first window.
    const QIcon icon = drawnPicture(name, {24, 48});
    return icon.isNull() ? QApplication::style()->standardIcon(QStyle::SP_FileIcon) : icon;
}

QIcon programWindowIcon()
{
    return drawnPicture(QStringLiteral("lumivox"), {16, 32, 48, 64, 128});
}

namespace {

class ProgramStyle : public QProxyStyle
{
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override
    {
        if (which == SP_ToolBarHorizontalExtensionButton)
            return programIcon(QStringLiteral("toolbar-more"));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

} // namespace

QStyle *programStyle()
{
    return new ProgramStyle;
}

ToolSet::ToolSet(QMenuBar *menuBar, QToolBar *toolBar, QObject *parent)
    : QObject(parent), m_menuBar(menuBar), m_toolBar(toolBar)
{
    if (m_toolBar) {
        m_toolBar->setObjectName(QStringLiteral("ToolBar"));
        m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        m_toolBar->setMovable(false);
        m_toolBar->setFloatable(false);
    }
    if (m_menuBar)
        m_menuBar->setObjectName(QStringLiteral("MenuBar"));
}

QAction *ToolSet::registerTool(QAction *action, const QString &id)
{
    action->setObjectName(id);
    m_tools.insert(id, action);
    connect(action, &QAction::triggered, this, [this, id] { Q_EMIT toolClick(id); });
    return action;
}

QMenu *ToolSet::addMenu(const QString &id, const QString &caption, const QString &parentMenu)
{
    QMenu *parent = m_menus.value(parentMenu);
    QMenu *menu = parent ? parent->addMenu(caption) : m_menuBar->addMenu(caption);
    menu->setObjectName(id);
    menu->menuAction()->setObjectName(id);
    m_menus.insert(id, menu);
    m_tools.insert(id, menu->menuAction());
    return menu;
}

QAction *ToolSet::addMenuBarCommand(const QString &id, const QString &caption)
{
    return registerTool(m_menuBar->addAction(caption), id);
}

QAction *ToolSet::addMenuItem(const QString &menu, const QString &id, const QString &caption,
                              const QString &description, const QString &group)
{
    QAction *action = m_menus.value(menu)->addAction(caption);
    if (!description.isEmpty()) {
        action->setStatusTip(description);
        action->setToolTip(description);
    }
    if (!group.isEmpty()) {
        QActionGroup *g = m_groups.value(group);
        if (!g) {
            g = new QActionGroup(this);
            g->setObjectName(group);
            g->setExclusive(true);
            m_groups.insert(group, g);
        }
        action->setCheckable(true);
        g->addAction(action);
    }
    return registerTool(action, id);
}

void ToolSet::addMenuSeparator(const QString &menu)
{
    m_menus.value(menu)->addSeparator();
}

QAction *ToolSet::addToolButton(const QString &id, const QString &caption, const QString &tooltip,
                                const QString &iconName)
{
    QAction *action = m_toolBar->addAction(programIcon(iconName), caption);
    action->setToolTip(tooltip.isEmpty() ? caption : tooltip);
    return registerTool(action, id);
}

void ToolSet::addToolSeparator()
{
    m_toolBar->addSeparator();
}

void ToolSet::setEnabled(const QString &id, bool enabled)
{
    if (QAction *a = tool(id))
        a->setEnabled(enabled);
}

int ToolSet::checkedNumber(const QString &idPrefix, int count) const
{
    for (int n = 1; n <= count; ++n) {
        const QAction *a = tool(idPrefix + QString::number(n));
        if (a && a->isChecked())
            return n;
    }
    return 0;
}

void ToolSet::bind(std::initializer_list<QString> ids, const std::function<void()> &handler)
{
    for (const QString &id : ids) {
        if (QAction *action = m_tools.value(id))
            connect(action, &QAction::triggered, this, [handler] { handler(); });
    }
}

void ToolSet::check(const QString &id)
{
    if (QAction *a = tool(id))
        a->setChecked(true);
}

int fontPointsForSize(int sizeNumber)
{
    switch (sizeNumber) {
    case 1: return 14;
    case 2: return 12;
    case 4: return 8;
    case 5: return 6;
    default: return 9;
    }
}

void addFontSizeMenu(ToolSet &tools, const QString &parentMenu, const QString &submenuCaption)
{
    tools.addMenu(QStringLiteral("ID_mnuFontS"), submenuCaption, parentMenu);
    const QString captions[] = {QStringLiteral("最大(&G)"), QStringLiteral("大(&L)"),
                                QStringLiteral("中(&M)"), QStringLiteral("小(&S)"),
                                QStringLiteral("最小(&A)")};
    for (int n = 1; n <= 5; ++n) {
        tools.addMenuItem(QStringLiteral("ID_mnuFontS"),
                          QStringLiteral("ID_mnuFontSize") + QString::number(n), captions[n - 1],
                          {}, QStringLiteral("FontSize"));
    }
    tools.check(QStringLiteral("ID_mnuFontSize3"));
}

void checkFontSizeTool(ToolSet &tools, int storedNumber)
{
    const int n = (storedNumber == 1 || storedNumber == 2 || storedNumber == 4 || storedNumber == 5)
                      ? storedNumber
                      : 3;
    tools.check(QStringLiteral("ID_mnuFontSize") + QString::number(n));
}

} // namespace lumivox
