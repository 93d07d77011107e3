// Help > About: the title picture, the program's name and version and how to reach its makers.
#pragma once

#include <QDialog>

namespace orvanel {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

} // namespace orvanel
