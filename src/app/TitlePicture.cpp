#include "app/TitlePicture.h"

namespace orvanel {

QPixmap TitlePicture::Load() {
    return QPixmap(QStringLiteral(":/images/title.png"));
}

} // namespace orvanel
