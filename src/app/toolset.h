#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>

class QAction;
class QIcon;
class QActionGroup;
class QMenu;
class QMenuBar;
class QStyle;
class QToolBar;
class QWidget;

namespace lumivox {

// The menu bar and toolbar of a window as one set of tools, each a QAction whose
// objectName is its tool ID ("ID_mnuEditNew", "ID_EditNew", …). A window finds a
// tool by its ID to enable it or check it, and receives every click through one
// signal carrying the ID. Tools of a named group are mutually exclusive.
class ToolSet : public QObject
{
    Q_OBJECT
public:
    ToolSet(QMenuBar *menuBar, QToolBar *toolBar, QObject *parent = nullptr);

    // A menu on the menu bar (parentMenu empty) or a submenu of another menu.
    QMenu *addMenu(const QString &id, const QString &caption, const QString &parentMenu = {});
    // A command that sits directly on the menu bar, without a submenu.
    QAction *addMenuBarCommand(const QString &id, const QString &caption);
    // An entry of a menu; with a group it is checkable and exclusive within it.
    QAction *addMenuItem(const QString &menu, const QString &id, const QString &caption,
                         const QString &description = {}, const QString &group = {});
    void addMenuSeparator(const QString &menu);
    // A button on the toolbar with a caption under its picture.
    QAction *addToolButton(const QString &id, const QString &caption, const QString &tooltip,
                           const QString &iconName = {});
    void addToolSeparator();

    QAction *tool(const QString &id) const { return m_tools.value(id); }
    QMenu *menu(const QString &id) const { return m_menus.value(id); }
    void setEnabled(const QString &id, bool enabled);
    // The number that ends the ID of the checked tool of a group of IDs
    // prefix1…prefixN (ID_mnuFontSize3 gives 3), or 0 when none is checked.
    int checkedNumber(const QString &idPrefix, int count) const;
    void check(const QString &id);

    // Runs `handler` when any of the tools is clicked: a menu entry and the
    // toolbar button of the same command share one handler. Unknown IDs are
    // ignored (a window without that tool).
    void bind(std::initializer_list<QString> ids, const std::function<void()> &handler);

Q_SIGNALS:
    void toolClick(const QString &id);

private:
    QAction *registerTool(QAction *action, const QString &id);

    QMenuBar *m_menuBar;
    QToolBar *m_toolBar;
    QHash<QString, QAction *> m_tools;
    QHash<QString, QMenu *> m_menus;
    QHash<QString, QActionGroup *> m_groups;
};

// A picture of the program's own set (src/app/resources/icons/NAME.svg, drawn
// at build time at 24 and 48 pixels): document-new, document-edit,
// document-save, document-import, document-export, edit-copy, edit-delete,
// edit-paste, mail-send, window-close, toolbar-more.
QIcon programIcon(const QString &name);
// The program's icon (lumivox.svg) at the sizes a desktop asks a window for.
QIcon programWindowIcon();

// The application's style: the desktop's, with the tool bar's overflow arrow
// from the program's pictures (toolbar-more). The style's own arrow is a PNG,
// and the first PNG read loads every image plugin of the machine, on the way
// to the main window.
QStyle *programStyle();

// The five font sizes of the lists (最大 … 最小) and the tool group they form.
int fontPointsForSize(int sizeNumber); // 1 → 14, 2 → 12, 4 → 8, 5 → 6, anything else 9
void addFontSizeMenu(ToolSet &tools, const QString &parentMenu, const QString &submenuCaption);
// The number stored as "SpreadFontSize": 1, 2, 4 and 5 check that tool; anything else checks 中.
void checkFontSizeTool(ToolSet &tools, int storedNumber);

} // namespace lumivox
