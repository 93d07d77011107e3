// The program's title picture, 473 x 276 pixels, shown by the splash and the about box.
#pragma once

#include <QPixmap>

namespace orvanel {

class TitlePicture {
public:
    static constexpr int Width = 473;
    static constexpr int Height = 276;

    static QPixmap Load();
};

} // namespace orvanel
