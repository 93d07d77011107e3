// The program's drawn icons, shipped as resources.
#pragma once

#include <QIcon>
#include <QString>

namespace orvanel {

class Icons {
public:
    // The icon `name` (e.g. "save") with its brighter picture shown while the pointer is over
    // a tool button; a null icon when the program ships no picture of that name.
    static QIcon Load(const QString& name);
};

} // namespace orvanel
