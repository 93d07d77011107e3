#include "window/Icons.h"

#include <QFile>

namespace orvanel {

QIcon Icons::Load(const QString& name) {
    const QString normal = QStringLiteral(":/images/%1.png").arg(name);
    if (!QFile::exists(normal)) {
        return {};
    }
    QIcon icon(normal);
    // Tool buttons draw the Active mode while the pointer is over them.
    icon.addFile(QStringLiteral(":/images/%1_hot.png").arg(name), QSize(), QIcon::Active);
    return icon;
}

} // namespace orvanel
