#include "window/ChildMenus.h"

#include "window/Icons.h"

#include <QKeySequence>
#include <QMenu>
#include <QWidget>

namespace orvanel {

QMenu* ChildMenus::CreateAlgorithmMenu(QWidget* owner, const std::function<void()>& options,
                                       const std::function<void()>& execute) {
    auto* menu = new QMenu(QStringLiteral("&Algorithm"), owner);
    menu->addAction(Icons::Load(QStringLiteral("options")), QStringLiteral("&Options"), owner,
                    options);
    QAction* run = menu->addAction(Icons::Load(QStringLiteral("run")), QStringLiteral("&Execute"),
                                   owner, execute);
    run->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    return menu;
}

} // namespace orvanel
