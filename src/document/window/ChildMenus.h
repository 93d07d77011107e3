// A child window whose menus the frame merges into its menu bar while the child is active.
#pragma once

#include <QList>

class QMenu;

namespace orvanel {

class ChildMenus {
public:
    virtual ~ChildMenus() = default;

    // The child's menus in the order they stand between the frame's File and Window menus.
    virtual QList<QMenu*> MergedMenus() const = 0;
};

} // namespace orvanel
