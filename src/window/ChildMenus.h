// A child window whose menus the frame merges into its menu bar while the child is active.
#pragma once

#include <QList>
#include <functional>

class QMenu;
class QWidget;

namespace orvanel {

class ChildMenus {
public:
    virtual ~ChildMenus() = default;

    // The child's menus in the order they stand between the frame's File and Window menus.
    virtual QList<QMenu*> MergedMenus() const = 0;

    // The "&Algorithm" menu every child offers: "&Options" and "&Execute" (Ctrl+E), owned by
    // `owner`, whose handlers it calls.
    static QMenu* CreateAlgorithmMenu(QWidget* owner, const std::function<void()>& options,
                                      const std::function<void()>& execute);
};

} // namespace orvanel
